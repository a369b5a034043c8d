#include "engine/checker.h"

#include "engine/dispatchtable.h"
#include "engine/keynames.h"

#include <QFileInfo>
#include <QHash>

#include <algorithm>

namespace checker {

namespace {

const QString kArrow = QStringLiteral("->");
const QString kBraceOpen = QStringLiteral("{");
const QString kBraceClose = QStringLiteral("}");
const QString kElse = QStringLiteral("else");

class Collector
{
public:
    explicit Collector(const preparation::PreparedScript &script)
        : m_script(script)
    {
    }

    void add(Severity severity, int index, const QString &message)
    {
        Problem p;
        p.severity = severity;
        p.line = index + 1;
        p.origin = m_script.origins.value(index);
        p.message = message;
        m_problems.append(p);
    }
    void error(int index, const QString &message) { add(Severity::Error, index, message); }
    void warning(int index, const QString &message) { add(Severity::Warning, index, message); }

    QVector<Problem> &problems() { return m_problems; }

private:
    const preparation::PreparedScript &m_script;
    QVector<Problem> m_problems;
};

QString directiveMessage(const preparation::DirectiveNote &note)
{
    switch (note.kind) {
    case preparation::DirectiveNote::MissingInsert:
        return QStringLiteral("#insert 的文件不存在：") + note.name;
    case preparation::DirectiveNote::UnusedMacro:
        return QStringLiteral("#define ") + note.name + QStringLiteral(" 在后文中没有用到");
    case preparation::DirectiveNote::MisplacedMacro:
        return QStringLiteral("#define 只在脚本开头连续书写时有效，此行不起作用");
    }
    return QString();
}

QVector<Problem> directiveProblems(const preparation::PreparedScript &script)
{
    QVector<Problem> problems;
    for (const preparation::DirectiveNote &note : script.notes) {
        Problem p;
        p.severity = Severity::Warning;
        p.origin = note.origin;
        p.message = directiveMessage(note);
        problems.append(p);
    }
    return problems;
}

// The command word of a loop line: 循环…, as the dispatch table matches it.
bool isLoopLine(const QString &line, QString *word)
{
    const int arrow = line.indexOf(kArrow);
    if (arrow < 0)
        return false;
    *word = line.left(arrow).trimmed();
    const CommandRow *row = findRow(*word);
    return row && row->match == MatchRule::BeginsWith; // the loop row is the only such row
}

// The lines that make the run skip or enter a block: conditions, loops and "else".
bool opensBlock(const QString &line)
{
    if (line == kElse)
        return true;
    const int arrow = line.indexOf(kArrow);
    if (arrow < 0)
        return false;
    static const QStringList conditions = {QStringLiteral("对比"), QStringLiteral("已复制"),
        QStringLiteral("识别")};
    const QString word = line.left(arrow).trimmed();
    QString loop;
    return conditions.contains(word) || isLoopLine(line, &loop);
}

// "{", "}" and "else" must pair up; a loop that opens a block needs its closing line.
void checkBlocks(const QStringList &lines, Collector &out)
{
    QVector<int> open;
    for (int i = 0; i < lines.size(); ++i) {
        const QString &line = lines.at(i);
        if (line == kBraceOpen) {
            open.append(i);
            if (i == 0 || !opensBlock(lines.at(i - 1)))
                out.warning(i, QStringLiteral("“{”的上一行不是条件、循环或else，此块总会执行"));
        } else if (line == kBraceClose) {
            if (open.isEmpty())
                out.error(i, QStringLiteral("多余的“}”：前面没有与之配对的“{”"));
            else
                open.removeLast();
        } else if (line == kElse) {
            if (i == 0 || lines.at(i - 1) != kBraceClose || lines.value(i + 1) != kBraceOpen)
                out.error(i, QStringLiteral("else 须紧跟在“}”之后，且下一行为“{”"));
        }
    }
    for (int i : open)
        out.error(i, QStringLiteral("缺少与之配对的“}”"));
}

// A loop line followed by "{" opens a loop; a later line of the same word followed by "}"
// closes it and sends the run back.
void checkLoops(const QStringList &lines, Collector &out)
{
    // The last closing line of each loop word, so every opening line is judged at once.
    QHash<QString, int> lastClose;
    QVector<QPair<int, QString>> opens;
    for (int i = 0; i + 1 < lines.size(); ++i) {
        QString word;
        if (!isLoopLine(lines.at(i), &word))
            continue;
        if (lines.at(i + 1) == kBraceOpen)
            opens.append({i, word});
        else if (lines.at(i + 1) == kBraceClose)
            lastClose[word] = i;
    }
    for (const auto &open : opens) {
        if (lastClose.value(open.second, -1) < open.first)
            out.error(open.first, QStringLiteral("循环没有结束行(“}”前一行写同名的") + open.second
                    + QStringLiteral("->)"));
    }
}

// A key pressed with 按下 and never released with 抬起 stays down after the run.
void checkHeldKeys(const QStringList &lines, Collector &out)
{
    const QString down = QStringLiteral("按下") + kArrow;
    const QString up = QStringLiteral("抬起") + kArrow;
    QHash<QString, int> held; // key → line of its last press
    for (int i = 0; i < lines.size(); ++i) {
        const QString &line = lines.at(i);
        // An unknown name is an error of its own line already.
        if (line.startsWith(down) && keynames::virtualKey(line.mid(down.size()).trimmed()) >= 0)
            held.insert(line.mid(down.size()).trimmed(), i);
        else if (line.startsWith(up))
            held.remove(line.mid(up.size()).trimmed());
    }
    QList<int> presses = held.values();
    std::sort(presses.begin(), presses.end());
    for (int i : presses)
        out.warning(i, QStringLiteral("按下的键在后面没有抬起"));
}

void checkLines(const QStringList &lines, const LineCheck::FileExists &exists, Collector &out)
{
    for (int i = 0; i < lines.size(); ++i) {
        const QString &text = lines.at(i);
        ScriptLine line;
        const int parts = splitStatement(text, &line);
        if (parts != 2) {
            if (parts > 2)
                out.warning(i, QStringLiteral("一行中有多个“->”，运行时跳过此行"));
            continue;
        }
        const CommandRow *row = findRow(line.command);
        if (!row) {
            out.error(i, QStringLiteral("无该命令类型"));
            continue;
        }
        if (!row->check)
            continue;
        LineCheck check(lines, i, exists);
        row->check(check, line);
        for (const LineCheck::Finding &f : check.findings())
            out.add(f.error ? Severity::Error : Severity::Warning, i, f.message);
    }
}

} // namespace

QVector<Problem> check(const preparation::PreparedScript &script, const Options &options)
{
    const LineCheck::FileExists exists = options.fileExists
        ? options.fileExists
        : [](const QString &path) { return QFileInfo::exists(path); };
    Collector out(script);
    checkLines(script.lines, exists, out);
    checkBlocks(script.lines, out);
    checkLoops(script.lines, out);
    checkHeldKeys(script.lines, out);
    // In the order of the lines; the directives, which have none, first.
    std::stable_sort(out.problems().begin(), out.problems().end(),
        [](const Problem &a, const Problem &b) { return a.line < b.line; });
    return directiveProblems(script) + out.problems();
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
