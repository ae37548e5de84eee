#pragma once

// What every fuzz target shares. A target defines LLVMFuzzerTestOneInput
// (and LLVMFuzzerInitialize through COVERLUME_FUZZ_APPLICATION); the same
// source links either with libFuzzer (build-fuzz/) or with replay_main.cpp,
// which feeds it the seed corpus and the regression inputs in the ordinary
// test suite.

#include <QByteArray>
#include <QGuiApplication>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstdio>

namespace FuzzSupport {

inline QByteArray bytes(const uint8_t *data, size_t size)
{
    return QByteArray(reinterpret_cast<const char *>(data), qsizetype(size));
}

// A broken promise of a reader: reported and fatal, so that the fuzzer keeps
// the input and the replay fails.
inline void require(bool condition, const char *what)
{
    if (!condition) {
        std::fprintf(stderr, "fuzz: a reader broke its promise: %s\n", what);
        std::abort();
    }
}

// One application for the whole run, without a display (fonts and image
// plugins need it).
inline void startApplication(int *argc, char ***argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    static QGuiApplication *application = new QGuiApplication(*argc, *argv);
    (void)application;
}

// Reads fields one after another from the input, as a fuzzer-driven
// description of a structure; past the end everything reads as zero/empty.
class Reader
{
public:
    Reader(const uint8_t *data, size_t size) : m_data(data), m_size(size) {}
    bool atEnd() const { return m_pos >= m_size; }
    uint8_t byte() { return m_pos < m_size ? m_data[m_pos++] : 0; }
    quint64 integer(int byteCount)
    {
        quint64 value = 0;
        for (int i = 0; i < byteCount; ++i)
            value = (value << 8) | byte();
        return value;
    }
    // A length-prefixed run of bytes (one length byte, up to 255).
    QByteArray chunk()
    {
        const size_t length = std::min<size_t>(byte(), m_size - std::min(m_pos, m_size));
        QByteArray out(reinterpret_cast<const char *>(m_data + m_pos), qsizetype(length));
        m_pos += length;
        return out;
    }
    QByteArray rest()
    {
        QByteArray out(reinterpret_cast<const char *>(m_data + std::min(m_pos, m_size)),
                       qsizetype(m_size - std::min(m_pos, m_size)));
        m_pos = m_size;
        return out;
    }

private:
    const uint8_t *m_data;
    size_t m_size;
    size_t m_pos = 0;
};

} // namespace FuzzSupport

#define COVERLUME_FUZZ_APPLICATION                                   \
    extern "C" int LLVMFuzzerInitialize(int *argc, char ***argv)     \
    {                                                                \
        FuzzSupport::startApplication(argc, argv);                   \
        return 0;                                                    \
    }
