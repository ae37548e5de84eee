#pragma once

#include <QByteArray>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QStringList>
#include <functional>

class QNetworkAccessManager;
class QNetworkReply;

// Reads a track's artwork from the address a player announced: a file
// (regular files only), a data address, or http(s). Everything is capped
// at maxBytes and must decode as an image (the format comes from the bytes,
// since some addresses have no extension). Candidates are tried in order
// until one serves an image; the callback then gets the bytes and the
// address that served them, or empty bytes and an empty address when none
// did. fetch() cancels the fetch before it, whose callback is then never
// called. Files and data addresses are read at once, downloads finish from
// the event loop. The network manager is not owned and may be null (then
// http(s) addresses fail). Main thread only.
class ArtFetcher : public QObject
{
    Q_OBJECT
public:
    using Done = std::function<void(const QByteArray &bytes, const QString &address)>;

    static constexpr qint64 maxBytes = 20 * 1024 * 1024;
    static constexpr int downloadTimeoutMs = 5000;

    explicit ArtFetcher(QNetworkAccessManager *network, QObject *parent = nullptr);
    ~ArtFetcher() override;

    void fetch(const QStringList &candidates, Done done);
    void cancel();
    bool isBusy() const { return bool(m_done); }

    // Whether these bytes are an image the display can decode.
    static bool isImage(const QByteArray &bytes);
    static QByteArray readFile(const QString &path);      // empty unless a regular file within the cap
    static QByteArray readDataAddress(const QString &address); // empty unless a valid data address

private:
    void tryNext();
    void finishWith(const QByteArray &bytes, const QString &address);
    void onReplyFinished(QNetworkReply *reply, const QString &address);

    QNetworkAccessManager *m_network;
    QStringList m_candidates;
    Done m_done;
    QPointer<QNetworkReply> m_reply;
    quint64 m_generation = 0;
};
