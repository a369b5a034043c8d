#pragma once

#include "app/editormarks.h"
#include "engine/preparation.h"

#include <QObject>
#include <QTimer>
#include <QVector>

#include <functional>

class QTextEdit;

// Where a run is, for a run whose text the editor does not show: "第5行 (lib.zt:3)", or
// "第5行 (原文第3行)" for a line of the run's own text. index is 0-based.
QString runPlaceText(int index, const preparation::LineOrigin &origin);

// The live trace of a run: the line it is at, marked in the editor and kept in view while the
// run's text is the editor's, and otherwise told as a place (placeText()). A run that failed
// keeps its failing line marked until forgetFailure(). Steps that come faster than the editor
// needs are shown at most every paceMs.
class RunTrace : public QObject
{
public:
    static constexpr int paceMs = 50;

    RunTrace(QTextEdit *edit, EditorMarks *marks);

    // A run of these prepared lines starts at its first. shown: the editor line of each
    // (gutter::shownLines), or empty when the run's text is not the editor's.
    void begin(const QVector<preparation::LineOrigin> &origins, const QVector<int> &shown);
    // A refresh gave the run new lines.
    void replaceLines(const QVector<preparation::LineOrigin> &origins, const QVector<int> &shown);
    // The run goes on with the line at index (0-based).
    void step(int index);
    // The line at index stopped the run with an error.
    void fail(int index);
    // The run is over; a failing line stays marked.
    void end();
    // The next edit or run: the failing line is no longer marked.
    void forgetFailure();

    bool inEditor() const { return !m_shown.isEmpty() || m_origins.isEmpty(); }
    // The place of a run outside the editor (rich text, red after a failure); empty otherwise.
    QString placeText() const { return m_place; }
    // Called whenever placeText() changes.
    std::function<void()> onPlaceChanged;

private:
    void show(int index);
    void showPending();
    void setPlace(const QString &place);
    void scrollIntoView(int line);

    QTextEdit *m_edit;
    EditorMarks *m_marks;
    QVector<preparation::LineOrigin> m_origins;
    QVector<int> m_shown;
    bool m_running = false;
    bool m_failed = false;
    int m_pending = -1; // a step not shown yet
    QTimer m_pace;
    QString m_place;
};
