#include "app/checkreport.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <algorithm>

namespace checkreport {

namespace {

const QString kMacroMark = QStringLiteral(" (宏)");

QString severityWord(checker::Severity severity)
{
    return severity == checker::Severity::Error ? QStringLiteral("错误") : QStringLiteral("警告");
}

// The origin column of a line: where it came from, marked when a macro wrote part of it.
QString originColumn(const preparation::LineOrigin &origin, const QString &scriptPath)
{
    return printable(originLabel(origin, scriptPath)) + (origin.rewritten ? kMacroMark : QString());
}

QJsonObject lineObject(
    const preparation::PreparedScript &script, int index, const QString &scriptPath)
{
    const preparation::LineOrigin origin = script.origins.value(index);
    return QJsonObject {
        {QStringLiteral("line"), index + 1},
        {QStringLiteral("file"), originFile(origin, scriptPath)},
        {QStringLiteral("sourceLine"), origin.line},
        {QStringLiteral("rewritten"), origin.rewritten},
        {QStringLiteral("text"), script.lines.at(index)},
    };
}

QJsonObject problemObject(const checker::Problem &problem, const QString &scriptPath)
{
    const bool error = problem.severity == checker::Severity::Error;
    return QJsonObject {
        {QStringLiteral("severity"), error ? QStringLiteral("error") : QStringLiteral("warning")},
        {QStringLiteral("line"), problem.line},
        {QStringLiteral("file"), originFile(problem.origin, scriptPath)},
        {QStringLiteral("sourceLine"), problem.origin.line},
        {QStringLiteral("message"), problem.message},
    };
}

// The blocks of wide characters a terminal gives two columns (East Asian Width W and F).
bool isWide(uint code)
{
    return (code >= 0x1100 && code <= 0x115f) || (code >= 0x2e80 && code <= 0xa4cf)
        || (code >= 0xac00 && code <= 0xd7a3) || (code >= 0xf900 && code <= 0xfaff)
        || (code >= 0xfe30 && code <= 0xfe4f) || (code >= 0xff00 && code <= 0xff60)
        || (code >= 0xffe0 && code <= 0xffe6) || (code >= 0x20000 && code <= 0x3fffd);
}

QString padded(const QString &text, int width)
{
    return text + QString(std::max(0, width - displayWidth(text)), QLatin1Char(' '));
}

} // namespace

int displayWidth(const QString &text)
{
    int width = 0;
    for (const uint code : text.toUcs4())
        width += isWide(code) ? 2 : 1;
    return width;
}

QString originFile(const preparation::LineOrigin &origin, const QString &scriptPath)
{
    return origin.file.isEmpty() ? scriptPath : origin.file;
}

QString originLabel(const preparation::LineOrigin &origin, const QString &scriptPath)
{
    const QString file = originFile(origin, scriptPath);
    return origin.line > 0 ? file + QLatin1Char(':') + QString::number(origin.line) : file;
}

QString printable(const QString &text)
{
    QString result = text;
    for (QChar &c : result) {
        const ushort code = c.unicode();
        if (code == '\t')
            continue; // a tab is harmless and common in scripts
        if (code < 0x20)
            c = QChar(0x2400 + code);
        else if (code == 0x7f)
            c = QChar(0x2421);
    }
    return result;
}

QString problemLine(const checker::Problem &problem, const QString &scriptPath)
{
    QString row = printable(originLabel(problem.origin, scriptPath)) + QStringLiteral(": ")
        + severityWord(problem.severity) + QStringLiteral(": ");
    if (problem.line > 0)
        row += QStringLiteral("第%1行: ").arg(problem.line);
    return row + printable(problem.message);
}

QString summaryLine(const checker::Report &report)
{
    return QStringLiteral("%1 个错误, %2 个警告").arg(report.errors).arg(report.warnings);
}

QString formatText(const checker::Report &report, const QString &scriptPath)
{
    const preparation::PreparedScript &script = report.script;
    QStringList origins;
    int originWidth = 0;
    for (int i = 0; i < script.lines.size(); ++i) {
        origins.append(originColumn(script.origins.value(i), scriptPath));
        originWidth = std::max(originWidth, displayWidth(origins.last()));
    }
    // The numbers right-aligned in at least four places, as the run counts the lines.
    const int numberWidth = std::max(4, int(QString::number(script.lines.size()).size()));
    QString text;
    for (int i = 0; i < script.lines.size(); ++i) {
        // Joined rather than through arg(): a "%1" in a file name or a line must stay as it is.
        text += QString::number(i + 1).rightJustified(numberWidth) + QStringLiteral("  ")
            + padded(origins.at(i), originWidth) + QStringLiteral("  ")
            + printable(script.lines.at(i)) + QLatin1Char('\n');
    }
    for (const checker::Problem &problem : report.problems)
        text += problemLine(problem, scriptPath) + QLatin1Char('\n');
    return text + summaryLine(report) + QLatin1Char('\n');
}

QByteArray formatJson(const checker::Report &report, const QString &scriptPath)
{
    QJsonArray lines;
    for (int i = 0; i < report.script.lines.size(); ++i)
        lines.append(lineObject(report.script, i, scriptPath));
    QJsonArray problems;
    for (const checker::Problem &problem : report.problems)
        problems.append(problemObject(problem, scriptPath));
    const QJsonObject root {
        {QStringLiteral("file"), scriptPath},
        {QStringLiteral("lines"), lines},
        {QStringLiteral("problems"), problems},
        {QStringLiteral("errors"), report.errors},
        {QStringLiteral("warnings"), report.warnings},
    };
    return QJsonDocument(root).toJson(QJsonDocument::Indented);
}

} // namespace checkreport
