#pragma once

#include <QByteArray>
#include <QString>
#include <QUrl>
#include <atomic>
#include <chrono>

// A synchronous download of an artwork address, for a caller that must have
// the bytes before it goes on (a layout rebuild).
//
// Addresses are untrusted. Only http, https and file addresses are taken; a
// file address must name a regular file on this machine (a FIFO or a device
// would block or never end). Network requests run on a worker thread with a
// network manager of its own, so the caller never spins a nested event loop;
// the caller waits at most `deadline` in all, after which the request is
// cancelled. Bodies over `maxBytes` are refused as the bytes arrive.
// Redirects are followed only to http and https, at most `maxRedirects`
// times, and every request and redirect passes NetworkPolicy's check first.
//
// Any thread may call download(); one object may be used from several
// threads, as it holds only its options.
class ArtworkDownloader
{
public:
    struct Options
    {
        std::chrono::milliseconds deadline{10000};
        qint64 maxBytes = 20 * 1024 * 1024;
        int maxRedirects = 5;
    };

    ArtworkDownloader() = default;
    explicit ArtworkDownloader(Options options) : m_options(options) {}

    const Options &options() const { return m_options; }

    // The body at `url`; empty on any failure, with the reason in *error.
    // A cancel flag that is set while it runs ends a network request
    // within a few tens of milliseconds, as a failure.
    QByteArray download(const QUrl &url, QString *error = nullptr,
                        const std::atomic<bool> *cancel = nullptr) const;

    // Whether an address is of a kind this downloader takes at all.
    static bool isAcceptedAddress(const QUrl &url);

private:
    QByteArray readLocalFile(const QUrl &url, QString *error) const;
    QByteArray fetchOnWorker(const QUrl &url, QString *error, const std::atomic<bool> *cancel) const;

    Options m_options;
};
