// The script editor's hookup: its display and editing aids, and what the panels do with it.
#include "app/editoraids.h"
#include "app/editorcolouring.h"
#include "app/editorstate.h"
#include "app/mainwindow.h"
#include "ui_mainwindow.h"

#include <QAbstractTextDocumentLayout>
#include <QFileInfo>
#include <QKeyEvent>
#include <QScrollBar>
#include <QTextCursor>
#include <QTextDocumentFragment>
#include <QTextEdit>

namespace {

// The change slot is connected by name when the form is built; these work on that very
// connection (a pointer-to-member disconnect would not find it).
void muteChanges(QTextEdit *edit, MainWindow *window)
{
    QObject::disconnect(
        edit, SIGNAL(textChanged()), window, SLOT(on_tEdt_ExecuteText_textChanged()));
}

void unmuteChanges(QTextEdit *edit, MainWindow *window)
{
    QObject::connect(edit, SIGNAL(textChanged()), window, SLOT(on_tEdt_ExecuteText_textChanged()),
        Qt::UniqueConnection);
}

void placeCursorAndScroll(QTextEdit *edit, int position, int scroll)
{
    QTextCursor cursor = edit->textCursor();
    cursor.setPosition(qBound(0, position, edit->document()->characterCount() - 1));
    edit->setTextCursor(cursor);
    // Lays the new content out now, so the scroll bar knows its range before it is set.
    edit->document()->documentLayout()->documentSize();
    edit->verticalScrollBar()->setValue(scroll);
}

// Characters from … to - 1 of the editor's plain text (as toPlainText() gives them), without
// reading the whole of it.
QString plainSlice(QTextDocument *document, int from, int to)
{
    QString slice;
    const int end = qMin(to, document->characterCount() - 1);
    for (int i = qMax(0, from); i < end; ++i) {
        QChar c = document->characterAt(i);
        if (c == QChar::ParagraphSeparator || c == QChar::LineSeparator || c.unicode() == 0xfdd0
            || c.unicode() == 0xfdd1)
            c = QLatin1Char('\n');
        else if (c == QChar::Nbsp)
            c = QLatin1Char(' ');
        slice += c;
    }
    return slice;
}

QString editingHint(const QString &scriptName)
{
    return QStringLiteral("<span style=\" color:#00aa00;\">") + scriptName.toHtmlEscaped()
        + QStringLiteral(".zt编辑中, [Ctrl+S]保存!</span>");
}

} // namespace

EditorState &MainWindow::editorState()
{
    if (!m_editorState)
        m_editorState.reset(new EditorState);
    return *m_editorState;
}

void MainWindow::attachEditorCheck()
{
    editorState().check = new EditorCheck(ui->tEdt_ExecuteText, ui->lb_CheckSummary);
}

void MainWindow::RenderScript(QTextEdit *edit, const QString &text)
{
    muteChanges(edit, this);
    editorState().display.show(edit, text);
    unmuteChanges(edit, this);
}

void MainWindow::ResetUndoHistory()
{
    editorState().history.reset(ui->tEdt_ExecuteText->toPlainText(), 0, 0);
}

QString MainWindow::scriptText() const
{
    return ui->tEdt_ExecuteText->toPlainText().trimmed();
}

void MainWindow::insertIntoScript(const QString &text)
{
    ui->tEdt_ExecuteText->insertPlainText(text);
}

void MainWindow::insertRecordedLines(const QStringList &lines)
{
    QTextEdit *edit = ui->tEdt_ExecuteText;
    QTextCursor cursor = edit->textCursor();
    const int at = cursor.position();
    const QString before = plainSlice(edit->document(), at - 1, at);
    const QString after = plainSlice(edit->document(), at, at + 1);
    // At the cursor, never over a selection the user may have left by chance.
    cursor.clearSelection();
    edit->setTextCursor(cursor);
    // One insertion is one change on the editor's usual path: coloured like typing, and one
    // step of its history, so a single Ctrl+Z takes the whole recording back.
    edit->insertPlainText(recorder::insertion(lines, before.isEmpty() ? QChar() : before.at(0),
        after.isEmpty() ? QChar() : after.at(0)));
}

void MainWindow::showScript(const QString &text)
{
    RenderScript(ui->tEdt_ExecuteText, text);
    editorState().check->textReplaced();
}

void MainWindow::restartUndoHistory()
{
    ResetUndoHistory();
}

void MainWindow::on_tEdt_ExecuteText_textChanged()
{
    QTextEdit *edit = ui->tEdt_ExecuteText;
    EditorState &state = editorState();
    // The change is read from the edited lines where it can be, so that a keystroke costs the
    // same in a script of any size; otherwise from the whole plain text.
    ScriptDisplay::Change change;
    const bool byLines = state.display.pendingChange(edit, &change);
    const QString plain = byLines ? QString() : edit->toPlainText();
    // The colours are a function of the plain text: the same text in the same colours means
    // the change was the program's own, or an input method's composition still going on.
    const bool sameText = byLines ? change.isEmpty() : plain == state.history.text();
    if (sameText && !state.display.isStale(edit))
        return;

    muteChanges(edit, this);
    int position = edit->textCursor().position();
    const int scroll = edit->verticalScrollBar()->value();
    if (sameText) {
        // Only the colours were lost (the same text set again): nothing new to undo.
        if (byLines) {
            state.display.showPendingChange(edit);
        } else {
            RenderScript(edit, plain);
            state.check->textReplaced();
        }
        placeCursorAndScroll(edit, position, scroll);
        unmuteChanges(edit, this);
        return;
    }

    noteScriptEdited(byLines);
    if (byLines) {
        const int from = qMax(0, position - 3);
        const QString around = plainSlice(edit->document(), from, position + 2);
        if (editor::completesArrow(around, position - from)) {
            QTextCursor cursor(edit->document());
            cursor.setPosition(position);
            cursor.insertText(QStringLiteral("->"));
            position += 2;
            state.display.pendingChange(edit, &change);
        }
        state.display.showPendingChange(edit);
        placeCursorAndScroll(edit, position, scroll);
        if (!state.history.recordChange(
                change.at, change.removed, change.inserted, position, scroll))
            state.history.record(edit->toPlainText(), position, scroll);
    } else {
        QString text = plain;
        if (editor::completesArrow(text, position)) {
            text.insert(position, QLatin1String("->"));
            position += 2;
        }
        RenderScript(edit, text);
        placeCursorAndScroll(edit, position, scroll);
        state.history.record(edit->toPlainText(), position, scroll);
    }
    unmuteChanges(edit, this);
}

void MainWindow::noteScriptEdited(bool byLines)
{
    // Only restarts the wait for a pause in typing: the check itself never runs in a keystroke.
    if (byLines)
        editorState().check->textEdited();
    else
        editorState().check->textReplaced();
    if (QFileInfo::exists(scriptFiles()->currentScriptPath())) // none loaded: an empty path
        ui->lb_ShowDisposingFile->setText(editingHint(scriptFiles()->currentScriptName()));
}

void MainWindow::showHistoryState()
{
    const EditHistory &history = editorState().history;
    RenderScript(ui->tEdt_ExecuteText, history.text());
    placeCursorAndScroll(ui->tEdt_ExecuteText, history.cursor(), history.scroll());
    editorState().check->textEdited();
}

bool MainWindow::eventFilter(QObject *watched, QEvent *event)
{
    if (!ui || watched != ui->tEdt_ExecuteText || event->type() != QEvent::KeyPress)
        return QMainWindow::eventFilter(watched, event);

    QTextEdit *edit = ui->tEdt_ExecuteText;
    const auto *key = static_cast<const QKeyEvent *>(event);
    if (key->modifiers() == Qt::ControlModifier) {
        switch (key->key()) {
        case Qt::Key_Z:
            editorState().history.undo();
            showHistoryState();
            return true;
        case Qt::Key_Y:
            editorState().history.redo();
            showHistoryState();
            return true;
        case Qt::Key_Slash: {
            QTextCursor cursor = edit->textCursor();
            if (cursor.hasSelection()) {
                const int scroll = edit->verticalScrollBar()->value();
                cursor.insertText(editor::commentedOut(cursor.selection().toPlainText()));
                edit->verticalScrollBar()->setValue(scroll);
            }
            return false;
        }
        case Qt::Key_I: {
            const QString indented = editor::autoIndented(edit->toPlainText());
            if (!indented.isNull())
                edit->setPlainText(indented);
            return true;
        }
        default:
            break;
        }
    } else if (key->key() == Qt::Key_Tab && key->modifiers() == Qt::NoModifier) {
        // Indentation is four blanks, as Ctrl+I makes it.
        edit->insertHtml(QStringLiteral("&nbsp;&nbsp;&nbsp;&nbsp;"));
        return true;
    }
    return QMainWindow::eventFilter(watched, event);
}
