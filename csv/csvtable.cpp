#include "csv/csvtable.h"

#include <QHeaderView>
#include <QTableWidget>

#include <cstring>

namespace csv {

namespace {

// Measuring every cell of a large file would hold the window for seconds; like the view itself
// when it is shown, widths come from the first rows.
constexpr int kMeasuredRows = 1000;

void fitColumns(QTableWidget &table)
{
    const int rows = table.rowCount();
    if (rows <= kMeasuredRows) {
        table.resizeColumnsToContents();
    } else {
        const int grid = table.showGrid() ? 1 : 0;
        for (int c = 0; c < table.columnCount(); ++c) {
            int width = table.horizontalHeader()->sectionSizeHint(c);
            for (int r = 0; r < kMeasuredRows; ++r) {
                const QModelIndex index = table.model()->index(r, c);
                width = qMax(width, table.sizeHintForIndex(index).width() + grid);
            }
            table.setColumnWidth(c, width);
        }
    }
    for (int c = 0; c < table.columnCount(); ++c)
        table.setColumnWidth(c, table.columnWidth(c) + 5);
    if (table.columnCount() > 0)
        table.horizontalHeader()->setSectionResizeMode(
            table.columnCount() - 1, QHeaderView::Stretch);
}

} // namespace

Grid parseTable(const QByteArray &bytes)
{
    int size = bytes.size();
    if (const void *zero = std::memchr(bytes.constData(), 0, size_t(size)))
        size = int(static_cast<const char *>(zero) - bytes.constData());
    const QString text = QString::fromLocal8Bit(bytes.constData(), size);

    Grid grid;
    const QVector<QStringRef> lines = text.splitRef(QStringLiteral("\r\n"), Qt::SkipEmptyParts);
    grid.rows.reserve(lines.size());
    for (const QStringRef &line : lines) {
        const QVector<QStringRef> cells = line.split(QLatin1Char(','), Qt::KeepEmptyParts);
        QVector<QString> row;
        row.reserve(cells.size());
        for (const QStringRef &cell : cells)
            row.append(cell.toString());
        grid.columns = qMax(grid.columns, row.size());
        grid.rows.append(std::move(row));
    }
    return grid;
}

void fillTable(QTableWidget &table, const Grid &grid)
{
    table.clearContents();
    table.setRowCount(0);
    table.setColumnCount(0);

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
    table.setUpdatesEnabled(updates);
    fitColumns(table);
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
