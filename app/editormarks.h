#pragma once

#include "engine/checker.h"

#include <QList>
#include <QString>
#include <QTextEdit>
#include <QVector>

// A problem to mark on one editor line (0-based), its message already worded for the tooltip.
struct LineMark
{
    int line = 0;
    checker::Severity severity = checker::Severity::Error;
    QString message;
};

// The tooltip wording of a problem: "第12行: 无该命令类型", or the message alone for a
// directive (line 0).
QString problemText(const checker::Problem &problem);

// The status line's count of problems: "2个错误 1个警告" in their colours, empty for none.
QString checkSummary(int errors, int warnings);

// Everything the editor shows over its text without touching the document's formats: the
// problems underlined and the line a run is at (or failed at) as a band across the editor.
// Both go into the editor's one list of extra selections, composed here only.
class EditorMarks
{
public:
    explicit EditorMarks(QTextEdit *edit);

    // Several problems on one line become one mark with all their messages; an error wins
    // over a warning.
    void setProblems(const QVector<LineMark> &marks);
    void clearProblems() { setProblems({}); }

    enum class RunLine { Running, Failed };
    void setRunLine(int line, RunLine kind);
    void clearRunLine();
    bool hasRunLine() const { return m_hasRunLine; }
    bool runLineFailed() const { return m_hasRunLine && m_runLineKind == RunLine::Failed; }

    // The messages of the problems marked on a block, one a line; empty when none.
    QString toolTipAt(const QTextBlock &block) const;

    // The formats of the marks, for the editor and for tests.
    static QTextCharFormat problemFormat(checker::Severity severity);
    static QTextCharFormat runLineFormat(RunLine kind);

private:
    void apply();

    QTextEdit *m_edit;
    QList<QTextEdit::ExtraSelection> m_problems;
    QStringList m_messages; // one per problem mark
    QTextEdit::ExtraSelection m_runLine;
    bool m_hasRunLine = false;
    RunLine m_runLineKind = RunLine::Running;
};
