#include "settings/settings.h"

#include "settings/filesave.h"

#include <QFile>

namespace settings {

namespace {

inline bool isBlank(char c)
{
    return c == ' ' || c == '\t';
}

// Position of "key=" where a line begins, or -1. The first such line wins.
int findKeyLine(const QByteArray &text, const QByteArray &key)
{
    const QByteArray needle = key + '=';
    int from = 0;
    for (;;) {
        const int at = text.indexOf(needle, from);
        if (at < 0)
            return -1;
        if (at == 0 || text.at(at - 1) == '\n')
            return at;
        from = at + 1;
    }
}

} // namespace

QByteArray trimBlanks(const QByteArray &text)
{
    int begin = 0;
    int end = text.size();
    while (begin < end && isBlank(text.at(begin)))
        ++begin;
    while (end > begin && isBlank(text.at(end - 1)))
        --end;
    return text.mid(begin, end - begin);
}

int ReadSettingsFile(QByteArray &target, const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return -1;
    target = file.readAll();
    return 0;
}

void ReadSetting(QByteArray &value, const QByteArray &text, const QByteArray &key)
{
    value.clear();
    const QByteArray work = trimBlanks(text);
    const int at = findKeyLine(work, key);
    if (at < 0)
        return;
    const int start = at + key.size() + 1;
    // Lines end in CR LF as the program writes them, or in a bare LF as editors on Linux save
    // them.
    const int end = work.indexOf('\n', start);
    if (end < 0)
        return; // a last line without its line end reads as empty
    QByteArray line = work.mid(start, end - start);
    if (line.endsWith('\r'))
        line.chop(1);
    value = trimBlanks(line);
}

QByteArray ReadSetting(const QByteArray &text, const QByteArray &key)
{
    QByteArray value;
    ReadSetting(value, text, key);
    return value;
}

void ReplaceSettingLine(QByteArray &result, const QByteArray &text, const QByteArray &key,
                        const QByteArray &value)
{
    const QByteArray line = key + '=' + value + "\r\n";
    const QByteArray work = trimBlanks(text);
    const int at = findKeyLine(work, key);
    if (at < 0) {
        result = line + work; // new keys go in front
        return;
    }
    const int end = work.indexOf('\n', at);
    result = work.left(at) + line + (end < 0 ? QByteArray() : work.mid(end + 1));
}

int WriteSetting(const QString &path, const QByteArray &key, const QByteArray &value)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadWrite | QIODevice::ExistingOnly))
        return -1;
    const QByteArray text = file.readAll();
    file.close();
    QByteArray result;
    ReplaceSettingLine(result, text, key, value);
    return saveFileAtomically(path, result) ? 0 : -1;
}

} // namespace settings
