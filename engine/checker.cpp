#include "engine/checker.h"

#include "engine/dispatchtable.h"

#include <QFileInfo>

namespace checker {

namespace {

const QString kArrow = QStringLiteral("->");

Problem problem(Severity severity, int index, const preparation::PreparedScript &script,
    const QString &message)
{
    Problem p;
    p.severity = severity;
    p.line = index + 1;
    p.origin = script.origins.value(index);
    p.message = message;
    return p;
}

} // namespace

QVector<Problem> check(const preparation::PreparedScript &script, const Options &options)
{
    Q_UNUSED(options);
    QVector<Problem> problems;
    for (int i = 0; i < script.lines.size(); ++i) {
        const QString text = script.lines.at(i).trimmed();
        const QStringList parts = text.split(kArrow, Qt::KeepEmptyParts);
        if (parts.size() != 2)
            continue;
        if (!findCommand(parts.at(0).trimmed()))
            problems.append(problem(Severity::Error, i, script, QStringLiteral("无该命令类型")));
    }
    return problems;
}

Report checkText(
    const QString &text, const preparation::FileReader &reader, const Options &options)
{
    Report report;
    report.script = preparation::prepareWithOrigins(text, reader);
    report.problems = check(report.script, options);
    for (const Problem &p : report.problems)
        (p.severity == Severity::Error ? report.errors : report.warnings)++;
    return report;
}

} // namespace checker
