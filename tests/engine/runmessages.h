#pragma once

// What the interpreter's messages look like, for the tests that read them.
#include "scriptrun.h"

#include <QString>
#include <QVector>

using Ints = QVector<int>;

// A red line error as the status line shows it.
inline QString error(int line, const QString &text)
{
    return QStringLiteral("<span style=\"color:red;\">第") + QString::number(line)
        + QStringLiteral("行有误：") + text + QStringLiteral("</span>");
}

inline bool reportedError(const RunRecord &record)
{
    return record.messages.join(QString()).contains(QStringLiteral("行有误"));
}

// The progress line of the whole-script repetition.
inline QString progress(int remaining)
{
    return QStringLiteral("<span style=\"color:red;\">正进行循环操作,剩余 ")
        + QString::number(remaining) + QStringLiteral(" 次。</span>");
}
