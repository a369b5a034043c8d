#pragma once

#include "app/editorgutter.h"
#include "app/editormarks.h"
#include "app/editortrace.h"
#include "engine/checker.h"
#include "engine/preparation.h"

#include <QObject>
#include <QTimer>

class QLabel;
class QTextEdit;

// What the editor shows about its script beyond the colours: the prepared numbers in the
// gutter, the problems the checker finds, their count in the status line, and the trace of a
// run. The check runs once typing pauses, never inside a keystroke.
class EditorCheck : public QObject
{
    Q_OBJECT

public:
    static constexpr int pauseMs = 400;

    // summary: the status line's label for the count (and the place of a run outside the
    // editor). It shares the status line's cell at its lower right, where the status texts
    // leave room (a column of its own would widen the window), and is hidden while empty.
    // Lives as long as the editor.
    EditorCheck(QTextEdit *edit, QLabel *summary);

    // The user changed some lines: the marks move with their lines until the check.
    void textEdited();
    // The whole text was shown anew (loading, undo): the marks go until the check.
    void textReplaced();
    // Prepares and checks the editor's text now, and shows the result.
    void checkNow();
    // The same in the background, once typing pauses; the result shows when it is ready.
    void startCheck();

    // A run of these prepared lines starts; runText is the text it prepared them from.
    void runStarting(const preparation::PreparedScript &script, const QString &runText);
    // A refresh prepared the editor's text again for the run.
    void runRefreshed(const preparation::PreparedScript &script);
    void runStepped(int index) { m_trace.step(index); }
    void runFailed(int index) { m_trace.fail(index); }
    void runFinished() { m_trace.end(); }

    // The text a run from the editor prepares: the editor's text trimmed.
    QString runText() const;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    struct EditorText
    {
        QStringList lines; // the editor's lines
        QString trimmed; // what a run from the editor prepares
        int offset = 0; // lines the trimming took off the front
    };
    EditorText editorText() const;
    void show(const checker::Report &report, const EditorText &text);
    QVector<int> shownInEditor(const preparation::PreparedScript &script) const;
    void showSummary();

    QTextEdit *m_edit;
    QWidget *m_viewport; // the editor's, whose tooltips tell the problems
    QLabel *m_summary;
    EditorGutter *m_gutter;
    EditorMarks m_marks;
    RunTrace m_trace;
    QTimer m_pause;
    quint64 m_generation = 0; // of the newest check asked for; older results are dropped
    int m_errors = 0;
    int m_warnings = 0;
};
