#pragma once

#include "app/editorcolouring.h"

#include <QPointer>
#include <QTextDocument>

class QTextEdit;

// Puts a coloured script into an editor. The result is what the framed HTML of the colouring
// shows (one block per line in place of one paragraph broken by "<br/>", with the paragraph's
// margins on the first and last line). After a keystroke only the lines whose text or colours
// changed are replaced: reading a whole 40 KB document back and laying it out again would take
// far longer than a frame.
class ScriptDisplay
{
public:
    ScriptDisplay() = default;
    ScriptDisplay(const ScriptDisplay &) = delete;
    ScriptDisplay &operator=(const ScriptDisplay &) = delete;
    ~ScriptDisplay();

    void show(QTextEdit *edit, const QString &script);

    // Whether the editor no longer shows the colours of its last showing, its text aside
    // (after a setPlainText of the same text, for example).
    bool isStale(QTextEdit *edit) const;

private:
    void noteChange(int from, int removed, int added);
    void rebuild(QTextDocument *document, const QVector<editor::DisplayLine> &lines);
    // plain: the document's text now, after the edits made since the last showing.
    void patch(
        QTextDocument *document, const QString &plain, const QVector<editor::DisplayLine> &lines);

    QPointer<QTextDocument> m_document; // the document the lines below describe
    QMetaObject::Connection m_watch; // its changes
    QVector<editor::DisplayLine> m_lines;
    bool m_applying = false; // the changes are the display's own
    // The stretch of the document changed since the last showing; -1 when none.
    int m_dirtyFrom = -1;
    int m_dirtyTo = -1;
};
