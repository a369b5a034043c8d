#include "engine/linepatterns.h"

namespace linepatterns {

namespace {

const QChar kString(0x4E32); // 串
const QChar kNumber(0x53D8); // 变

// Digits as the regular-expression class \d understands them (any decimal digit).
inline bool isDigit(QChar c)
{
    return c.isDigit();
}

int digitsValue(const QString &text, int from, int to)
{
    bool ok = false;
    const int v = text.mid(from, to - from).toInt(&ok, 10);
    return ok ? v : 0;
}

// Matches "<open><kind>digits<close>" at the end of s, where open and close are tests.
template<typename Open, typename Close>
bool endsWithReference(const QString &s, QChar kind, Open open, Close close, int *n)
{
    const int size = s.size();
    if (size < 4 || !close(s.at(size - 1)))
        return false;
    int i = size - 2;
    while (i >= 0 && isDigit(s.at(i)))
        --i;
    const int firstDigit = i + 1;
    if (firstDigit > size - 2) // no digit
        return false;
    if (i < 1 || s.at(i) != kind || !open(s.at(i - 1)))
        return false;
    if (n)
        *n = digitsValue(s, firstDigit, size - 1);
    return true;
}

bool isSquareOpen(QChar c)
{
    return c == QLatin1Char('[');
}
bool isSquareClose(QChar c)
{
    return c == QLatin1Char(']');
}

bool commandWord(const QString &word, QChar kind, int *n)
{
    if (word.size() < 2 || word.at(0) != kind)
        return false;
    for (int i = 1; i < word.size(); ++i) {
        if (!isDigit(word.at(i)))
            return false;
    }
    if (n)
        *n = digitsValue(word, 1, word.size());
    return true;
}

} // namespace

bool stringSource(const QString &arg, int *n)
{
    return endsWithReference(arg, kString, isSquareOpen, isSquareClose, n);
}

bool numberSource(const QString &arg, int *n)
{
    return endsWithReference(arg, kNumber, isSquareOpen, isSquareClose, n);
}

bool stringTarget(const QString &arg, int *n)
{
    return endsWithReference(arg, kString, isOpenBracket, isCloseBracket, n);
}

bool numberTarget(const QString &arg, int *n)
{
    return endsWithReference(arg, kNumber, isOpenBracket, isCloseBracket, n);
}

bool stringCommand(const QString &word, int *n)
{
    return commandWord(word, kString, n);
}

bool numberCommand(const QString &word, int *n)
{
    return commandWord(word, kNumber, n);
}

bool clipboardTarget(const QString &arg)
{
    return arg.endsWith(QStringLiteral("(复制)")) || arg.endsWith(QStringLiteral("（复制）"));
}

bool countForm(const QString &arg, qint64 *number)
{
    const int size = arg.size();
    if (size < 3 || !arg.endsWith(QLatin1String(">>")))
        return false;
    for (int i = 0; i < size - 2; ++i) {
        if (!isDigit(arg.at(i)))
            return false;
    }
    if (number) {
        bool ok = false;
        const int v = arg.left(size - 2).toInt(&ok, 10);
        *number = ok ? v : 0;
    }
    return true;
}

bool charForm(const QString &arg, QChar *c)
{
    if (arg.size() != 3 || !arg.endsWith(QLatin1String(">>")))
        return false;
    const QChar first = arg.at(0);
    // \w: letters, digits, marks and the underscore.
    if (!(first.isLetterOrNumber() || first.isMark() || first == QLatin1Char('_')))
        return false;
    if (c)
        *c = first;
    return true;
}

int toNumber(const QString &text)
{
    bool ok = false;
    const int v = text.toInt(&ok, 10);
    return ok ? v : 0;
}

} // namespace linepatterns
