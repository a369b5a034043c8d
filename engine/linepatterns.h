#pragma once

#include <QString>

// The shared line patterns of the script language, written as plain scans (they run for every
// line, so no regular-expression engine is involved). Each returns the captured variable
// number through n (0 when the digits do not form a number) and matches exactly what the
// patterns of the language describe.
namespace linepatterns {

// "^.*\[串(\d+)\]$" / "^.*\[变(\d+)\]$": the argument ends in [串n] / [变n].
bool stringSource(const QString &arg, int *n);
bool numberSource(const QString &arg, int *n);
// "^.*[\(（]串(\d+)[\)）]$" / "^.*[\(（]变(\d+)[\)）]$": ends in (串n) / (变n), any bracket widths.
bool stringTarget(const QString &arg, int *n);
bool numberTarget(const QString &arg, int *n);
// "^串(\d+)$" / "^变(\d+)$": the command word is 串n / 变n.
bool stringCommand(const QString &word, int *n);
bool numberCommand(const QString &word, int *n);

// "(复制)" or "（复制）" at the end of an argument: the clipboard target.
bool clipboardTarget(const QString &arg);

// "^(\d+)(>>)$": N>>, with N. "^(\w)(>>)$": c>>, with c.
bool countForm(const QString &arg, qint64 *number);
bool charForm(const QString &arg, QChar *c);

// Base-10 integer of a text; anything that is not a whole number counts as 0.
int toNumber(const QString &text);

// The half- and full-width bracket characters the targets accept.
inline bool isOpenBracket(QChar c)
{
    return c == QLatin1Char('(') || c == QChar(0xFF08);
}
inline bool isCloseBracket(QChar c)
{
    return c == QLatin1Char(')') || c == QChar(0xFF09);
}

} // namespace linepatterns
