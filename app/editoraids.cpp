#include "app/editoraids.h"

#include <QRegularExpression>
#include <QStringList>

namespace editor {

bool completesArrow(const QString &text, int cursor)
{
    // Besides the long-standing word list, "对比": the comparison command itself.
    static const QRegularExpression commandWord(
        QStringLiteral("^((文件夹)|(按下)|(抬起)|(截图)|(串\\d+)|(变\\d+)|(图片)|(刷新)|(日期)|"
                       "(文件)|(改名)|(csv)|(跳到)|(跳减)|(跳加)|(复制)|(鼠标)|(延时)|(识别)|"
                       "(键盘)|(粘贴)|(时间)|(打开)|(关机)|(cmd)|(执行)|(截止)|(循环\\d+)|"
                       "(已复制)|(串对比)|(对比))$"),
        QRegularExpression::UseUnicodePropertiesOption);
    if (cursor < 1 || cursor > text.size())
        return false;
    const QString last = text.mid(cursor - 1, 1).trimmed();
    const int stemStart = qMax(0, cursor - 3);
    const QString stem = text.mid(stemStart, cursor - stemStart).trimmed();
    const QString follower = text.mid(cursor, 2).trimmed();
    return !last.isEmpty() && follower != QLatin1String("->") && commandWord.match(stem).hasMatch();
}

QString commentedOut(const QString &selection)
{
    if (selection.split(QLatin1Char('\n')).size() < 2)
        return QStringLiteral("//") + selection;
    return QStringLiteral("/*\r\n") + selection + QStringLiteral("\r\n*/");
}

QString autoIndented(const QString &text)
{
    const QStringList lines = text.split(QLatin1Char('\n'));
    if (lines.size() < 2)
        return {};
    static const QString recognition = QStringLiteral("识别->");
    const QString open = QStringLiteral("{");
    const QString close = QStringLiteral("}");
    QString result;
    result.reserve(text.size() * 2);
    int depth = 0; // "{" lines minus "}" lines before the current one
    for (int i = 0; i < lines.size(); ++i) {
        const QString line = lines.at(i).trimmed();
        const QString next = i + 1 < lines.size() ? lines.at(i + 1).trimmed() : QString();
        // A recognition line closing a loop body stands level with its closing brace.
        const bool outdented = line.startsWith(recognition) ? next == close : line == close;
        const int level = outdented ? depth - 1 : depth;
        for (int k = 0; k < level; ++k)
            result += QLatin1String("    ");
        result += line;
        result += QLatin1String("\r\n");
        if (line == open)
            ++depth;
        else if (line == close)
            --depth;
    }
    return result;
}

} // namespace editor
