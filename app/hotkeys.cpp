#include "app/hotkeys.h"

namespace hotkeys {

QString clipboardScript(const QString &clipboard)
{
    if (!clipboard.startsWith(QLatin1Char('"')))
        return clipboard;
    // A lone opening quote leaves the rest of the text (the length is then negative: up to
    // the end).
    return clipboard.mid(1, clipboard.lastIndexOf(QLatin1Char('"')) - 1);
}

QString mouseInsertion(const QString &before, const QString &after, const QPoint &position,
    bool autoDelay, const QString &delay)
{
    const QString point
        = QString::number(position.x()) + QLatin1Char(',') + QString::number(position.y());
    if (before == QStringLiteral("鼠标->"))
        return point;
    if (before == QStringLiteral("截图->"))
        return after == QLatin1String("-") ? point : point + QLatin1Char('-');
    if (before.endsWith(QLatin1Char('-')))
        return point;
    QString line = QStringLiteral("鼠标->") + point + QLatin1Char('\n');
    if (autoDelay)
        line += QStringLiteral("延时->") + delay + QLatin1Char('\n');
    return line;
}

QString unavailableNote(const QStringList &keys)
{
    return QStringLiteral("<span style=\" color:#ff0000;\">") + keys.join(QStringLiteral("、"))
        + QStringLiteral(" 已被其他程序占用,该快捷键无效。</span>");
}

} // namespace hotkeys
