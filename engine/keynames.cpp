#include "engine/keynames.h"

#include <QHash>
#include <QVector>

#include <utility>

namespace keynames {

namespace {

using Entry = std::pair<QString, int>;

QVector<Entry> buildTable()
{
    QVector<Entry> table;
    const auto add = [&table](std::initializer_list<const char *> names, int code) {
        for (const char *name : names)
            table.append({QString::fromLatin1(name), code});
    };
    add({"esc", "Esc"}, 27);
    add({"enter", "Enter"}, 13);
    add({"tab", "Tab"}, 9);
    add({"capsLock", "CapsLock"}, 20);
    add({"shift", "Shift"}, 16);
    add({"ctrl", "Ctrl"}, 17);
    add({"alt", "Alt"}, 18);
    add({"space", "Space"}, 32);
    add({"backspace", "Backspace"}, 8);
    add({"lwin", "LWin"}, 91);
    add({"rwin", "RWin"}, 92);
    add({"mouseright", "MouseRight"}, 93);
    add({"insert", "Insert"}, 45);
    add({"home", "Home"}, 36);
    add({"pageup", "PageUp", "pgup", "PgUp"}, 33);
    add({"pagedown", "PageDown", "pgdn", "PgDn"}, 34);
    add({"end", "End"}, 35);
    add({"delete", "Delete", "del", "Del"}, 46);
    add({"left", "LEFT"}, 37);
    add({"up", "UP"}, 38);
    add({"right", "RIGHT"}, 39);
    add({"down", "DOWN"}, 40);
    for (int i = 1; i <= 12; ++i)
        table.append({QStringLiteral("f%1").arg(i), 111 + i});
    for (int i = 1; i <= 12; ++i)
        table.append({QStringLiteral("F%1").arg(i), 111 + i});
    add({"numlock", "nmlk", "NumLock", "NmLK"}, 144);
    // Digits are the keypad's, not the digit row's.
    for (int d = 0; d <= 9; ++d)
        table.append({QString::number(d), 96 + d});
    add({"."}, 110);
    add({"*"}, 106);
    add({"+"}, 107);
    add({"-"}, 109);
    add({"/"}, 111);
    add({"="}, 187);
    // Both cases name the same key, pressed without Shift.
    for (char c = 'A'; c <= 'Z'; ++c)
        table.append({QString(QLatin1Char(c)), c});
    for (char c = 'a'; c <= 'z'; ++c)
        table.append({QString(QLatin1Char(c)), c - 'a' + 'A'});
    return table;
}

const QVector<Entry> &table()
{
    static const QVector<Entry> entries = buildTable();
    return entries;
}

const QHash<QString, int> &index()
{
    static const QHash<QString, int> byName = [] {
        QHash<QString, int> map;
        for (const Entry &e : table())
            map.insert(e.first, e.second);
        return map;
    }();
    return byName;
}

} // namespace

int virtualKey(const QString &name)
{
    return index().value(name, -1);
}

QStringList allNames()
{
    QStringList names;
    for (const Entry &e : table())
        names << e.first;
    return names;
}

} // namespace keynames
