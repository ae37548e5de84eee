#pragma once

#include <QByteArray>
#include <QObject>
#include <atomic>
#include <thread>

// Catches the program's own log output: standard error is replaced by a
// pipe, a reader thread reads it in chunks of up to 4,096 bytes and hands
// each chunk to the main thread (bytesRead()). Every byte is also written
// on to the original standard error, so a terminal the program was started
// from still sees its lines.
//
// The reader never logs (its own lines would come back through the pipe).
// Chunks wait in the main thread's event queue; while more than
// maxQueuedBytes wait there, further chunks reach only the terminal, and
// the next chunk that is handed over says how many bytes were left out.
//
// Created, started and stopped on the main thread; bytesRead() is emitted
// there. The destructor stops the capture.
class ConsoleCapture : public QObject
{
    Q_OBJECT
public:
    static constexpr qsizetype chunkBytes = 4096;
    static constexpr qint64 maxQueuedBytes = 4 * 1024 * 1024;

    explicit ConsoleCapture(QObject *parent = nullptr);
    ~ConsoleCapture() override;

    // Replaces the descriptor (standard error unless a test gives another)
    // by the pipe. False, with the reason in *error, when the pipe or the
    // thread cannot be set up; the descriptor is then left as it was.
    bool start(int descriptor = 2, QString *error = nullptr);
    // Puts the original descriptor back and waits for the reader to drain
    // what was already written. Safe to call when not capturing.
    void stop();
    bool isCapturing() const { return m_reader.joinable(); }

Q_SIGNALS:
    void bytesRead(const QByteArray &chunk);

private:
    void readLoop();
    void handOver(QByteArray chunk);
    void echo(const char *data, qsizetype size) const;
    void closeAll();

    int m_target = -1;    // the descriptor that now points at the pipe
    int m_original = -1;  // a copy of what it pointed at before
    int m_readEnd = -1;
    int m_wakeRead = -1;  // written by stop() so the reader ends even when
    int m_wakeWrite = -1; // a child process still holds the pipe open
    std::thread m_reader;
    std::atomic<qint64> m_queuedBytes{0};
    std::atomic<qint64> m_droppedBytes{0};
};
