#pragma once

#include "engine/preparation.h"

#include <QStringList>
#include <QVector>
#include <QWidget>

#include <functional>

class QTextBlock;
class QTextEdit;

// Which prepared line (the number a run shows and jumps to) stands beside which editor line.
namespace gutter {

// Where each prepared line shows in the editor: its 0-based editor line, or -1. The origins are
// those of the editor's text with lineOffset leading lines taken away (a run trims its text).
// Lines of the script's own text show at their origin. Lines an #insert brought show at the
// #insert line when it can be told from the editor's lines between the script lines around
// them: the only #insert line there, or the one naming their file.
QVector<int> shownLines(const QVector<preparation::LineOrigin> &origins,
    const QStringList &editorLines, int lineOffset);

// The editor line a problem of prepared line number preparedLine (0 for a directive, which
// has only its origin) is marked on, or -1 when it cannot be told: a directive of an inserted
// file, an inserted line whose #insert is not found. shown and lineOffset as above.
int problemLine(int preparedLine, const preparation::LineOrigin &origin, const QVector<int> &shown,
    int lineOffset, int lineCount);

// What the gutter shows beside one editor line: the first prepared number shown there (0 for
// none), and whether more follow it (a macro of several statements, an #insert).
struct LineNumber
{
    int first = 0;
    bool more = false;
    bool operator==(const LineNumber &o) const { return first == o.first && more == o.more; }
};

// The numbers beside each of lineCount editor lines, from shownLines().
QVector<LineNumber> lineNumbers(const QVector<int> &shown, int lineCount);

// "12", "12+" (more follow), or empty.
QString labelText(const LineNumber &number);

// The number an editor block carries as its user state, and back: it then moves with its line
// as lines are added or removed above it, until the next check.
int toBlockState(const LineNumber &number);
LineNumber fromBlockState(int state);

} // namespace gutter

// The narrow area at the left of the script editor with the prepared numbers of its lines. It
// sits in a margin of the editor's viewport and paints from the document's layout, so it follows
// scrolling, resizing, the font and edits.
class EditorGutter : public QWidget
{
public:
    explicit EditorGutter(QTextEdit *edit);

    // Gives the editor's blocks their numbers (one block per editor line).
    void setNumbers(const QVector<gutter::LineNumber> &numbers);
    // Where the tooltip of a line comes from (the problems marked on it).
    void setToolTipSource(std::function<QString(const QTextBlock &)> source);

protected:
    void paintEvent(QPaintEvent *event) override;
    bool event(QEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void fitWidth(int largest);
    void place();

    QTextEdit *m_edit;
    std::function<QString(const QTextBlock &)> m_toolTipSource;
    int m_width = 0;
    int m_largest = 0; // the largest number shown
};
