#include "app/editorgutter.h"

#include <QAbstractTextDocumentLayout>
#include <QEvent>
#include <QHelpEvent>
#include <QPainter>
#include <QScrollBar>
#include <QTextBlock>
#include <QTextEdit>
#include <QToolTip>

namespace gutter {

namespace {

const QLatin1String kInsert("#insert");

// Whether a line is an "#insert", and the path it names.
bool isInsert(const QString &line, QString *path)
{
    const QString trimmed = line.trimmed();
    if (!trimmed.startsWith(kInsert))
        return false;
    *path = trimmed.mid(kInsert.size()).trimmed();
    return true;
}

struct InsertLine
{
    int line;
    QString path;
};

// The #insert lines among the editor lines strictly between before and after.
QVector<InsertLine> insertLinesBetween(const QStringList &editorLines, int before, int after)
{
    QVector<InsertLine> found;
    for (int e = qMax(0, before + 1); e < qMin(after, editorLines.size()); ++e) {
        QString path;
        if (isInsert(editorLines.at(e), &path))
            found.append({e, path});
    }
    return found;
}

// The line an inserted line of file shows at: the only #insert there is, or the one naming it.
int insertLineFor(const QString &file, const QVector<InsertLine> &candidates)
{
    if (candidates.size() == 1)
        return candidates.first().line;
    for (const InsertLine &candidate : candidates) {
        if (candidate.path == file)
            return candidate.line;
    }
    return -1;
}

} // namespace

QVector<int> shownLines(const QVector<preparation::LineOrigin> &origins,
    const QStringList &editorLines, int lineOffset)
{
    const int count = origins.size();
    QVector<int> shown(count, -1);
    for (int i = 0; i < count; ++i) {
        const preparation::LineOrigin &o = origins.at(i);
        const int line = o.line - 1 + lineOffset;
        if (o.file.isEmpty() && o.line >= 1 && line < editorLines.size())
            shown[i] = line;
    }
    // Each stretch of inserted lines lies between the script's lines around it.
    for (int i = 0; i < count;) {
        if (origins.at(i).file.isEmpty()) {
            ++i;
            continue;
        }
        int end = i;
        while (end < count && !origins.at(end).file.isEmpty())
            ++end;
        const int before = i > 0 ? shown.at(i - 1) : -1;
        const int after = end < count && shown.at(end) >= 0 ? shown.at(end) : editorLines.size();
        const QVector<InsertLine> candidates = insertLinesBetween(editorLines, before, after);
        for (int k = i; k < end; ++k)
            shown[k] = insertLineFor(origins.at(k).file, candidates);
        i = end;
    }
    return shown;
}

int problemLine(int preparedLine, const preparation::LineOrigin &origin, const QVector<int> &shown,
    int lineOffset, int lineCount)
{
    if (preparedLine > 0)
        return shown.value(preparedLine - 1, -1);
    if (!origin.file.isEmpty() || origin.line < 1)
        return -1;
    const int line = origin.line - 1 + lineOffset;
    return line < lineCount ? line : -1;
}

QVector<LineNumber> lineNumbers(const QVector<int> &shown, int lineCount)
{
    QVector<LineNumber> numbers(lineCount);
    for (int i = 0; i < shown.size(); ++i) {
        const int line = shown.at(i);
        if (line < 0 || line >= lineCount)
            continue;
        LineNumber &n = numbers[line];
        if (n.first == 0)
            n.first = i + 1;
        else
            n.more = true;
    }
    return numbers;
}

QString labelText(const LineNumber &number)
{
    if (number.first <= 0)
        return QString();
    return QString::number(number.first) + (number.more ? QStringLiteral("+") : QString());
}

// A block without a state of its own holds -1.
int toBlockState(const LineNumber &number)
{
    return number.first > 0 ? number.first * 2 + (number.more ? 1 : 0) : -1;
}

LineNumber fromBlockState(int state)
{
    if (state < 2)
        return {};
    return {state / 2, (state & 1) != 0};
}

} // namespace gutter

namespace {

// The viewport's margins are protected; a member pointer taken through a subclass may call
// them on the form's own editor.
struct MarginAccess : QTextEdit
{
    static void setLeft(QTextEdit *edit, int left)
    {
        void (QAbstractScrollArea::*set)(const QMargins &) = &MarginAccess::setViewportMargins;
        (edit->*set)(QMargins(left, 0, 0, 0));
    }
};

const int kPadding = 6;

// The first block whose bottom lies below y (document coordinates), by halving: the gutter is
// painted on every layout change, and a walk from the top would cost the whole document.
QTextBlock firstBlockBelow(QTextDocument *document, qreal y)
{
    QAbstractTextDocumentLayout *layout = document->documentLayout();
    int low = 0;
    int high = document->blockCount() - 1;
    while (low < high) {
        const int middle = (low + high) / 2;
        if (layout->blockBoundingRect(document->findBlockByNumber(middle)).bottom() <= y)
            low = middle + 1;
        else
            high = middle;
    }
    return document->findBlockByNumber(low);
}

} // namespace

EditorGutter::EditorGutter(QTextEdit *edit)
    : QWidget(edit)
    , m_edit(edit)
{
    setObjectName(QStringLiteral("editorGutter"));
    setAttribute(Qt::WA_NoMousePropagation);
    edit->installEventFilter(this);
    const auto repaint = [this] { update(); };
    connect(edit->verticalScrollBar(), &QScrollBar::valueChanged, this, repaint);
    connect(edit->document()->documentLayout(), &QAbstractTextDocumentLayout::update, this,
        repaint);
    fitWidth(0);
    show();
}

void EditorGutter::setNumbers(const QVector<gutter::LineNumber> &numbers)
{
    int largest = 0;
    int line = 0;
    for (QTextBlock block = m_edit->document()->begin(); block.isValid();
         block = block.next(), ++line) {
        const gutter::LineNumber number = numbers.value(line);
        block.setUserState(gutter::toBlockState(number));
        largest = qMax(largest, number.first);
    }
    fitWidth(largest);
    update();
}

void EditorGutter::setToolTipSource(std::function<QString(const QTextBlock &)> source)
{
    m_toolTipSource = std::move(source);
}

// Room for the largest number and a "+"; never narrower than three digits, so small scripts
// do not make it jump as they grow.
void EditorGutter::fitWidth(int largest)
{
    m_largest = largest;
    const QString widest = QString(qMax(3, QString::number(largest).size()) + 1, QLatin1Char('9'));
    const int width = QFontMetrics(m_edit->font()).horizontalAdvance(widest) + 2 * kPadding;
    if (width != m_width) {
        m_width = width;
        MarginAccess::setLeft(m_edit, width);
    }
    place();
}

void EditorGutter::place()
{
    const QRect area = m_edit->contentsRect();
    setGeometry(area.left(), area.top(), m_width, area.height());
    setFont(m_edit->font());
}

void EditorGutter::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.fillRect(rect(), palette().color(QPalette::AlternateBase));
    painter.setPen(palette().color(QPalette::Midlight));
    painter.drawLine(width() - 1, 0, width() - 1, height());
    painter.setPen(palette().color(QPalette::Disabled, QPalette::Text));
    QAbstractTextDocumentLayout *layout = m_edit->document()->documentLayout();
    const int scroll = m_edit->verticalScrollBar()->value();
    for (QTextBlock block = firstBlockBelow(m_edit->document(), scroll); block.isValid();
         block = block.next()) {
        const QRectF box = layout->blockBoundingRect(block);
        const int top = int(box.top()) - scroll;
        if (top > height())
            break;
        const QString label = gutter::labelText(gutter::fromBlockState(block.userState()));
        if (label.isEmpty() || !block.isVisible() || block.layout()->lineCount() == 0)
            continue;
        const QTextLine first = block.layout()->lineAt(0);
        const QRect line(0, top + int(first.y()), m_width - kPadding, int(first.height()));
        painter.drawText(line, Qt::AlignRight | Qt::AlignVCenter, label);
    }
}

bool EditorGutter::event(QEvent *event)
{
    if (event->type() == QEvent::ToolTip) {
        const auto *help = static_cast<QHelpEvent *>(event);
        const int y = help->pos().y() + m_edit->verticalScrollBar()->value();
        const QTextBlock block = firstBlockBelow(m_edit->document(), y);
        const QString tip = m_toolTipSource ? m_toolTipSource(block) : QString();
        if (tip.isEmpty())
            QToolTip::hideText();
        else
            QToolTip::showText(help->globalPos(), tip, this);
        return true;
    }
    return QWidget::event(event);
}

bool EditorGutter::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == m_edit) {
        if (event->type() == QEvent::Resize)
            place();
        else if (event->type() == QEvent::FontChange)
            fitWidth(m_largest);
    }
    return QWidget::eventFilter(watched, event);
}
