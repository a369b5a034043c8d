#pragma once

#include <QByteArray>
#include <QString>
#include <QVector>

class QTableWidget;

// The table editor's file format: the same CSV rules as the quick tools, read into and written
// from the grid of the "CSV表格" page.
namespace csv {

struct Grid
{
    QVector<QVector<QString>> rows;
    int columns = 0; // the most cells of any row
};

// Bytes up to the first zero byte, in the local 8-bit encoding, split into rows at CR LF (blank
// lines vanish) and into cells at every comma (empty cells kept).
Grid parseTable(const QByteArray &bytes);

// Replaces the table's contents with the grid: one item per cell read, none for the cells that
// shorter rows lack. Column widths follow the contents plus 5 pixels; the last one stretches.
void fillTable(QTableWidget &table, const Grid &grid);

// Every row with the table's column count: cells joined by commas (a cell without an item is
// empty), each row ended by CR LF, in the local 8-bit encoding.
QByteArray tableBytes(const QTableWidget &table);

} // namespace csv
