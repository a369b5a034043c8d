#pragma once

#include "app/editorcolouring.h"

#include <QPointer>
#include <QTextDocument>

class QTextEdit;

// Puts a coloured script into an editor. The result is what the framed HTML of the colouring
// shows (one block per line in place of one paragraph broken by "<br/>", with the paragraph's
// margins on the first and last line). After an edit only the lines whose text or colours
// changed are coloured again and replaced: colouring a whole 40 KB script, reading it back and
// laying it out again would take far longer than a frame.
class ScriptDisplay
{
public:
    ScriptDisplay() = default;
    ScriptDisplay(const ScriptDisplay &) = delete;
    ScriptDisplay &operator=(const ScriptDisplay &) = delete;
    ~ScriptDisplay();

    // Shows a whole script (loading, undo, redo).
    void show(QTextEdit *edit, const QString &script);

    // How the editor's plain text differs from the one last shown: at position at, removed
    // became inserted (both empty when the text is the same).
    struct Change
    {
        int at = 0;
        QString removed;
        QString inserted;
        bool isEmpty() const { return removed.isEmpty() && inserted.isEmpty(); }
    };
    // Reads the change from the lines edited since the last showing. false when it cannot be
    // told from them: another document, a line broken inside a block (Shift+Enter), or a
    // script shown with characters the editor gives back otherwise (carriage returns).
    bool pendingChange(QTextEdit *edit, Change *change) const;
    // Shows the editor's text after the edits pendingChange() read: only the lines they touched
    // and those whose colours they reach are coloured again and replaced.
    void showPendingChange(QTextEdit *edit);

    // Whether the editor no longer shows the colours of its last showing, its text aside
    // (after a setPlainText of the same text, for example).
    bool isStale(QTextEdit *edit) const;

private:
    struct Pending
    {
        int firstLine = 0;
        int oldCount = 0; // lines of the last showing from firstLine on that were edited
        QStringList lines; // what they are now
        int position = 0; // of firstLine
    };
    bool readPending(QTextDocument *document, Pending *pending) const;
    void applyPending(QTextDocument *document, const Pending &pending);
    void noteChange(int from, int removed, int added);
    void watch(QTextEdit *edit);
    void rebuild(QTextDocument *document);
    // Lines first … first + removed - 1 of the document become lines first … first + inserted
    // - 1 of the colouring.
    void replaceBlocks(QTextDocument *document, int first, int removed, int inserted);
    // Writes the given lines again where the document does not show them as coloured.
    void rewrite(QTextDocument *document, const QVector<int> &lines);
    void fixEndMargins(QTextDocument *document);

    editor::ScriptColouring m_colouring; // what the document shows
    QPointer<QTextDocument> m_document; // the document the colouring describes
    QMetaObject::Connection m_watch; // its changes
    bool m_applying = false; // the changes are the display's own
    // The stretch of the document changed since the last showing; -1 when none.
    int m_dirtyFrom = -1;
    int m_dirtyTo = -1;
};
