#include "platform/WebText.h"

#include <QStringDecoder>
#include <QUrl>

namespace WebText {

QString percentEncodeAddress(const QString &address)
{
    static const QByteArray keep = QByteArrayLiteral("!#$&'()*+,/:;=?@[]%~");
    return QString::fromLatin1(QUrl::toPercentEncoding(address, keep));
}

std::optional<QString> decodeUtf8(QByteArrayView bytes)
{
    QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    QString text = decoder.decode(bytes);
    if (decoder.hasError())
        return std::nullopt;
    return text;
}

} // namespace WebText
