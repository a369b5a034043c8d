#include "app/editorcheck.h"

#include "engine/checker.h"

#include <QCoreApplication>
#include <QHelpEvent>
#include <QLabel>
#include <QTextBlock>
#include <QTextEdit>
#include <QThreadPool>
#include <QPointer>
#include <QToolTip>

EditorCheck::EditorCheck(QTextEdit *edit, QLabel *summary)
    : QObject(edit)
    , m_edit(edit)
    , m_summary(summary)
    , m_gutter(new EditorGutter(edit))
    , m_marks(edit)
    , m_trace(edit, &m_marks)
{
    setObjectName(QStringLiteral("editorCheck"));
    m_pause.setSingleShot(true);
    m_pause.setInterval(pauseMs);
    connect(&m_pause, &QTimer::timeout, this, &EditorCheck::startCheck);
    m_gutter->setToolTipSource([this](const QTextBlock &block) { return m_marks.toolTipAt(block); });
    m_trace.onPlaceChanged = [this] { showSummary(); };
    m_viewport = edit->viewport();
    m_viewport->installEventFilter(this);
    showSummary();
}

void EditorCheck::textEdited()
{
    m_trace.forgetFailure();
    ++m_generation; // a check of the text before this edit is no longer wanted
    m_pause.start();
}

void EditorCheck::textReplaced()
{
    m_marks.clearProblems();
    textEdited();
}

void EditorCheck::checkNow()
{
    m_pause.stop();
    const EditorText text = editorText();
    ++m_generation;
    show(checker::checkText(text.trimmed), text);
}

void EditorCheck::startCheck()
{
    // The check reads #insert files and looks for bitmaps and folders: off the GUI thread, a
    // slow or unreachable network path cannot hold up typing. Only the newest result counts.
    const EditorText text = editorText();
    const quint64 generation = ++m_generation;
    const QPointer<EditorCheck> self(this);
    QThreadPool::globalInstance()->start([self, text, generation] {
        const checker::Report report = checker::checkText(text.trimmed);
        QMetaObject::invokeMethod(
            qApp,
            [self, text, generation, report] {
                if (self && self->m_generation == generation)
                    self->show(report, text);
            },
            Qt::QueuedConnection);
    });
}

void EditorCheck::show(const checker::Report &report, const EditorText &text)
{
    const QVector<int> shown
        = gutter::shownLines(report.script.origins, text.lines, text.offset);
    m_gutter->setNumbers(gutter::lineNumbers(shown, text.lines.size()));
    QVector<LineMark> marks;
    for (const checker::Problem &problem : report.problems) {
        const int line = gutter::problemLine(
            problem.line, problem.origin, shown, text.offset, text.lines.size());
        if (line >= 0)
            marks.append({line, problem.severity, problemText(problem)});
    }
    m_marks.setProblems(marks);
    m_errors = report.errors;
    m_warnings = report.warnings;
    showSummary();
}

void EditorCheck::runStarting(const preparation::PreparedScript &script, const QString &runText)
{
    const bool fromEditor = runText == this->runText();
    m_trace.begin(script.origins, fromEditor ? shownInEditor(script) : QVector<int>());
}

void EditorCheck::runRefreshed(const preparation::PreparedScript &script)
{
    m_trace.replaceLines(script.origins, shownInEditor(script));
}

QString EditorCheck::runText() const
{
    return m_edit->toPlainText().trimmed();
}

EditorCheck::EditorText EditorCheck::editorText() const
{
    EditorText text;
    const QString plain = m_edit->toPlainText();
    text.lines = plain.split(QLatin1Char('\n'));
    text.trimmed = plain.trimmed();
    int first = 0;
    while (first < plain.size() && plain.at(first).isSpace())
        ++first;
    text.offset = plain.leftRef(first).count(QLatin1Char('\n'));
    return text;
}

QVector<int> EditorCheck::shownInEditor(const preparation::PreparedScript &script) const
{
    const EditorText text = editorText();
    return gutter::shownLines(script.origins, text.lines, text.offset);
}

// A marked line's tooltip tells its problems.
bool EditorCheck::eventFilter(QObject *watched, QEvent *event)
{
    // Only pointers are compared: the filter also sees the viewport's events while the editor
    // is being destroyed, when no member of the editor may be called any more.
    if (event->type() != QEvent::ToolTip || watched != m_viewport)
        return QObject::eventFilter(watched, event);
    const auto *help = static_cast<QHelpEvent *>(event);
    const QString tip = m_marks.toolTipAt(m_edit->cursorForPosition(help->pos()).block());
    if (tip.isEmpty())
        return QObject::eventFilter(watched, event);
    QToolTip::showText(help->globalPos(), tip, m_viewport);
    return true;
}

void EditorCheck::showSummary()
{
    const QString place = m_trace.placeText();
    const QString text = place.isEmpty() ? checkSummary(m_errors, m_warnings) : place;
    m_summary->setText(text);
    m_summary->setVisible(!text.isEmpty());
}
