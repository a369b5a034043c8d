#include "csv/csvtable.h"

#include <QFile>
#include <QFontMetricsF>
#include <QHash>
#include <QHeaderView>
#include <QTableWidget>

#include <algorithm>
#include <cstring>

namespace csv {

namespace {

// Measuring every cell of a large file would hold the window for seconds; like the view itself
// (its header's resize precision), widths come from the first rows.
constexpr int kMeasuredRows = 1000;
// Up to this many measurements (cells and header sections) each width is measured as the view
// measures it, a few microseconds apiece; wider tables measure each distinct width once.
constexpr qint64 kExactMeasurements = 100000;

// Widths measured once per distinct estimate of a text's advance: the sum of its characters'
// advances, which differs from the shaped text only by kerning, well within the 5 pixels every
// column gets on top. Adding up cached character widths costs nanoseconds, where laying out
// the text costs microseconds.
class WidthCache
{
public:
    explicit WidthCache(const QFont &font)
        : m_metrics(font)
    {
        for (int c = 0; c < 128; ++c)
            m_ascii[c] = m_metrics.horizontalAdvance(QChar(c));
    }

    template<class Measure> int width(const QString &text, Measure measure)
    {
        qreal advance = 0;
        for (const QChar ch : text)
            advance += ch.unicode() < 128 ? m_ascii[ch.unicode()] : wide(ch);
        const qint64 key = qRound64(advance * 64);
        auto found = m_widths.constFind(key);
        if (found == m_widths.constEnd())
            found = m_widths.insert(key, measure());
        return *found;
    }

private:
    qreal wide(QChar ch)
    {
        auto found = m_wide.constFind(ch.unicode());
        if (found == m_wide.constEnd())
            found = m_wide.insert(ch.unicode(), m_metrics.horizontalAdvance(ch));
        return *found;
    }

    QFontMetricsF m_metrics;
    qreal m_ascii[128];
    QHash<ushort, qreal> m_wide;
    QHash<qint64, int> m_widths;
};

// Widths as resizeColumnsToContents gives them, plus 5 pixels, set in one pass over the columns.
// The table's updates must be off: a header that paints works out where each resized section is
// on screen, walking every section before it, which for 600,000 columns took minutes.
void fitColumns(QTableWidget &table)
{
    QHeaderView *header = table.horizontalHeader();
    const QAbstractItemModel *model = table.model();
    const int columns = table.columnCount();
    const int rows = qMin(table.rowCount(), kMeasuredRows);
    const int grid = table.showGrid() ? 1 : 0;
    table.ensurePolished();
    header->ensurePolished();

    const bool exact = qint64(columns) * (rows + 1) <= kExactMeasurements;
    WidthCache cells(table.font());
    WidthCache labels(header->font());
    const auto cellWidth = [&](int r, int c) {
        const QModelIndex index = model->index(r, c);
        const auto measure = [&] { return table.sizeHintForIndex(index).width(); };
        return exact ? measure() : cells.width(index.data().toString(), measure);
    };
    const auto labelWidth = [&](int c) {
        const auto measure = [&] { return header->sectionSizeHint(c); };
        return exact ? measure()
                     : labels.width(model->headerData(c, Qt::Horizontal).toString(), measure);
    };

    const int minimum = header->minimumSectionSize();
    const int maximum = header->maximumSectionSize();
    for (int c = 0; c < columns; ++c) {
        int content = 0;
        for (int r = 0; r < rows; ++r)
            content = qMax(content, cellWidth(r, c));
        const int width = qBound(minimum, qMax(content + grid, labelWidth(c)), maximum);
        header->resizeSection(c, width + 5);
    }
    if (columns > 0)
        header->setSectionResizeMode(columns - 1, QHeaderView::Stretch);
}

// The text part of the file: up to the first zero byte.
qsizetype textSize(const QByteArray &bytes)
{
    if (const void *zero = std::memchr(bytes.constData(), 0, size_t(bytes.size())))
        return static_cast<const char *>(zero) - bytes.constData();
    return bytes.size();
}

// Calls take(begin, end) for every row of data[0, size) that is not blank, in order. A row ends
// at CR LF, LF or CR; CR LF counts once. Stops, returning false, when take returns false.
template<class Take> bool forEachRow(const char *data, qsizetype size, Take take)
{
    const char *p = data;
    const char *const end = data + size;
    while (p < end) {
        const char *stop = p;
        while (stop < end && *stop != '\r' && *stop != '\n')
            ++stop;
        if (stop > p && !take(p, stop))
            return false;
        p = stop;
        if (p < end && *p == '\r')
            ++p;
        if (p < end && *p == '\n')
            ++p;
    }
    return true;
}

// Whether rows × the widest row stays within the limit, found without building a cell and
// stopping at the first row that passes it.
bool fitsTable(const char *data, qsizetype size)
{
    qint64 rows = 0;
    qint64 columns = 0;
    return forEachRow(data, size, [&](const char *begin, const char *end) {
        ++rows;
        columns = qMax<qint64>(columns, 1 + std::count(begin, end, ','));
        return rows * columns <= kMaxTableCells;
    });
}

// The file's bytes, refusing one over the byte limit before it is read.
TableRead readBytes(const QString &path, QByteArray *bytes)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return TableRead::CannotOpen;
    if (file.size() > kMaxTableBytes)
        return TableRead::TooLarge;
    // Read no further than the limit: the file may have grown since its size was taken.
    *bytes = file.read(kMaxTableBytes + 1);
    return bytes->size() > kMaxTableBytes ? TableRead::TooLarge : TableRead::Ok;
}

} // namespace

std::optional<Grid> parseTable(const QByteArray &bytes)
{
    const char *data = bytes.constData();
    const qsizetype size = textSize(bytes);
    if (!fitsTable(data, size))
        return std::nullopt;

    // Cells are converted one by one: the comma and the line ends are never part of a
    // multibyte character in the local encodings, and the file's text is never held twice.
    Grid grid;
    forEachRow(data, size, [&grid](const char *begin, const char *end) {
        QVector<QString> row;
        row.reserve(int(1 + std::count(begin, end, ',')));
        for (const char *cell = begin;;) {
            const char *comma
                = static_cast<const char *>(std::memchr(cell, ',', size_t(end - cell)));
            const char *cellEnd = comma ? comma : end;
            row.append(QString::fromLocal8Bit(cell, int(cellEnd - cell)));
            if (!comma)
                break;
            cell = comma + 1;
        }
        grid.columns = qMax(grid.columns, row.size());
        grid.rows.append(std::move(row));
        return true;
    });
    return grid;
}

TableFile readTableFile(const QString &path)
{
    TableFile result;
    QByteArray bytes;
    result.status = readBytes(path, &bytes);
    if (result.status != TableRead::Ok)
        return result;
    if (std::optional<Grid> grid = parseTable(bytes))
        result.grid = std::move(*grid);
    else
        result.status = TableRead::TooLarge;
    return result;
}

TableRead checkTableFile(const QString &path)
{
    QByteArray bytes;
    const TableRead status = readBytes(path, &bytes);
    if (status != TableRead::Ok)
        return status;
    return fitsTable(bytes.constData(), textSize(bytes)) ? TableRead::Ok : TableRead::TooLarge;
}

QString tooLargeText()
{
    return QStringLiteral(
        "文件过大,无法在表格中编辑!表格最多%1个单元格(行数×列数),文件不超过%2MB。")
        .arg(kMaxTableCells)
        .arg(kMaxTableBytes >> 20);
}

void fillTable(QTableWidget &table, const Grid &grid)
{
    table.clearContents();
    table.setRowCount(0);
    table.setColumnCount(0);

    // Left to the style, the header works its minimum section size out from the font on every
    // call, and it asks once for every section inserted or resized: fixed at that value, a
    // wide table loads in a third of the time.
    QHeaderView *header = table.horizontalHeader();
    header->setMinimumSectionSize(header->minimumSectionSize());

    // The counts are set once: growing the table row by row costs a header update per row.
    const bool updates = table.updatesEnabled();
    table.setUpdatesEnabled(false);
    table.setRowCount(grid.rows.size());
    table.setColumnCount(grid.columns);
    for (int r = 0; r < grid.rows.size(); ++r) {
        const QVector<QString> &row = grid.rows.at(r);
        for (int c = 0; c < row.size(); ++c)
            table.setItem(r, c, new QTableWidgetItem(row.at(c)));
    }
    fitColumns(table);
    table.setUpdatesEnabled(updates);
}

QByteArray tableBytes(const QTableWidget &table)
{
    const int rows = table.rowCount();
    const int columns = table.columnCount();
    QString text;
    for (int r = 0; r < rows; ++r) {
        for (int c = 0; c < columns; ++c) {
            if (const QTableWidgetItem *item = table.item(r, c))
                text += item->data(Qt::DisplayRole).toString();
            text += c + 1 < columns ? QLatin1Char(',') : QLatin1Char('\r');
        }
        if (columns > 0)
            text += QLatin1Char('\n');
    }
    return text.toLocal8Bit();
}

} // namespace csv
