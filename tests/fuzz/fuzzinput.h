#pragma once

// What the fuzz targets share: cutting one input into the pieces a routine takes, the Qt set-up
// every target needs once, and a check that stops the run with a readable report.
#include <QByteArray>
#include <QCoreApplication>
#include <QString>
#include <QTextCodec>

#include <cstdint>
#include <cstdio>
#include <cstdlib>

namespace fuzz {

// Reads an input front to back; past its end every read gives zero or empty.
class Input
{
public:
    Input(const uint8_t *data, size_t size)
        : m_data(reinterpret_cast<const char *>(data))
        , m_size(int(qMin<size_t>(size, 1 << 30)))
    {
    }

    bool atEnd() const { return m_at >= m_size; }
    int remaining() const { return m_size - m_at; }

    quint8 byte() { return atEnd() ? 0 : quint8(m_data[m_at++]); }

    // A number in [0, bound): one byte below 256, two above.
    int below(int bound)
    {
        if (bound <= 1)
            return 0;
        const int raw = bound <= 256 ? byte() : (byte() << 8 | byte());
        return raw % bound;
    }

    // Four bytes, little end first, as a signed number: reaches the extremes of int.
    qint32 int32()
    {
        quint32 v = 0;
        for (int i = 0; i < 4; ++i)
            v |= quint32(byte()) << (8 * i);
        return qint32(v);
    }

    // The bytes up to the next separator byte (or the end); the separator is consumed.
    // Separators keep seeds readable: "key\x01value\x01text".
    QByteArray field(char separator = '\x01')
    {
        const int start = m_at;
        while (m_at < m_size && m_data[m_at] != separator)
            ++m_at;
        const QByteArray piece(m_data + start, m_at - start);
        if (m_at < m_size)
            ++m_at;
        return piece;
    }

    QByteArray rest()
    {
        const QByteArray piece(m_data + m_at, m_size - m_at);
        m_at = m_size;
        return piece;
    }

private:
    const char *m_data;
    int m_size;
    int m_at = 0;
};

// The program makes the locale codec UTF-8 when it runs under the C locale; the targets do
// the same so that local 8-bit conversions are the ones users see.
inline void useUtf8Locale()
{
    QTextCodec::setCodecForLocale(QTextCodec::codecForName("UTF-8"));
}

// The application object every target needs, made on the first input; with utf8Locale also
// the locale codec of useUtf8Locale, for targets that convert local 8-bit text.
inline void startOnce(const char *name, bool utf8Locale = false)
{
    static int argc = 1;
    static char *argv[] = {const_cast<char *>(name), nullptr};
    static QCoreApplication app(argc, argv);
    static const bool ready = utf8Locale ? (useUtf8Locale(), true) : true;
    Q_UNUSED(ready);
}

// A failed property is a finding like a crash: say what broke, then abort so libFuzzer
// saves the input.
[[noreturn]] inline void fail(const char *what, const QByteArray &detail = QByteArray())
{
    std::fprintf(stderr, "PROPERTY FAILED: %s\n%s\n", what, detail.constData());
    std::fflush(stderr);
    std::abort();
}

} // namespace fuzz

#define FUZZ_CHECK(condition, detail)                                                              \
    do {                                                                                           \
        if (!(condition))                                                                          \
            fuzz::fail(#condition, (detail));                                                      \
    } while (false)
