#include "app/editortrace.h"

#include <QAbstractTextDocumentLayout>
#include <QFileInfo>
#include <QScrollBar>
#include <QTextBlock>
#include <QTextEdit>

QString runPlaceText(int index, const preparation::LineOrigin &origin)
{
    const QString line = QStringLiteral("第%1行").arg(index + 1);
    if (origin.line < 1)
        return line;
    if (origin.file.isEmpty())
        return line + QStringLiteral(" (原文第%1行)").arg(origin.line);
    return line + QStringLiteral(" (%1:%2)").arg(QFileInfo(origin.file).fileName()).arg(origin.line);
}

RunTrace::RunTrace(QTextEdit *edit, EditorMarks *marks)
    : m_edit(edit)
    , m_marks(marks)
{
    m_pace.setSingleShot(true);
    m_pace.setInterval(paceMs);
    connect(&m_pace, &QTimer::timeout, this, &RunTrace::showPending);
}

void RunTrace::begin(const QVector<preparation::LineOrigin> &origins, const QVector<int> &shown)
{
    m_failed = false;
    m_running = true;
    m_marks->clearRunLine();
    setPlace(QString());
    replaceLines(origins, shown);
    m_pace.stop();
    m_pending = -1;
    show(0);
}

void RunTrace::replaceLines(
    const QVector<preparation::LineOrigin> &origins, const QVector<int> &shown)
{
    m_origins = origins;
    m_shown = shown;
    if (inEditor())
        setPlace(QString()); // a refresh reads the editor's text, whatever the run began with
}

void RunTrace::step(int index)
{
    if (!m_running)
        return;
    if (m_pace.isActive()) {
        m_pending = index;
        return;
    }
    show(index);
    m_pace.start();
}

void RunTrace::showPending()
{
    if (m_running && m_pending >= 0)
        show(std::exchange(m_pending, -1));
}

void RunTrace::fail(int index)
{
    if (!m_running)
        return;
    m_running = false;
    m_failed = true;
    m_pace.stop();
    m_pending = -1;
    if (inEditor()) {
        const int line = m_shown.value(index, -1);
        if (line >= 0)
            m_marks->setRunLine(line, EditorMarks::RunLine::Failed);
        else
            m_marks->clearRunLine();
    } else {
        setPlace(QStringLiteral("<span style=\"color:#d00000;\">%1</span>")
                     .arg(runPlaceText(index, m_origins.value(index))));
    }
}

void RunTrace::end()
{
    m_pace.stop();
    m_pending = -1;
    if (m_running) {
        m_running = false;
        m_marks->clearRunLine();
        setPlace(QString());
    }
}

void RunTrace::forgetFailure()
{
    if (!m_failed)
        return;
    m_failed = false;
    m_marks->clearRunLine();
    setPlace(QString());
}

void RunTrace::show(int index)
{
    if (!inEditor()) {
        // Past the last line (the end, or the turn of a repetition) there is no place to tell.
        setPlace(index < m_origins.size() ? runPlaceText(index, m_origins.at(index)) : QString());
        return;
    }
    const int line = m_shown.value(index, -1);
    if (line < 0) {
        m_marks->clearRunLine();
        return;
    }
    m_marks->setRunLine(line, EditorMarks::RunLine::Running);
    scrollIntoView(line);
}

void RunTrace::setPlace(const QString &place)
{
    if (place == m_place)
        return;
    m_place = place;
    if (onPlaceChanged)
        onPlaceChanged();
}

// Scrolls only when the line is out of sight, and then puts it a third of the way down; the
// user's text cursor stays where it is.
void RunTrace::scrollIntoView(int line)
{
    const QTextBlock block = m_edit->document()->findBlockByNumber(line);
    QAbstractTextDocumentLayout *layout = m_edit->document()->documentLayout();
    layout->documentSize(); // lays out what is not laid out yet
    const QRectF box = layout->blockBoundingRect(block);
    QScrollBar *bar = m_edit->verticalScrollBar();
    const int visible = m_edit->viewport()->height();
    if (box.top() >= bar->value() && box.bottom() <= bar->value() + visible)
        return;
    bar->setValue(int(box.top()) - visible / 3);
}
