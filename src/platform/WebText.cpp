#include "platform/WebText.h"

#include <QStringDecoder>
#include <cstring>

namespace WebText {

QString percentEncodeAddress(const QString &address)
{
    // Not QUrl::toPercentEncoding: it encodes "%" whatever it is told.
    static constexpr char hex[] = "0123456789ABCDEF";
    const QByteArray bytes = address.toUtf8();
    QByteArray encoded;
    encoded.reserve(bytes.size() * 3);
    for (const char byte : bytes) {
        const auto c = static_cast<unsigned char>(byte);
        const bool keep = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9')
            || (c != 0 && std::strchr("-._~:/?#[]@!$&'()*+,;=%", c) != nullptr);
        if (keep) {
            encoded += char(c);
        } else {
            encoded += '%';
            encoded += hex[c >> 4];
            encoded += hex[c & 0xF];
        }
    }
    return QString::fromLatin1(encoded);
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
