#pragma once

#include <QByteArray>
#include <QString>
#include <QVector>

#include <optional>

class QTableWidget;

// The table editor's file format: the same CSV rules as the quick tools, read into and written
// from the grid of the "CSV表格" page.
namespace csv {

// The largest table a person edits here. The widget keeps a slot for every row × column pair
// (also for the cells shorter rows lack) and an item for every cell read, so the cell limit
// bounds the grid's memory and the time to fill it (a million cells from a 64 MB file load in
// about a second and 400 MB at the peak); the byte limit holds before anything is read.
constexpr qint64 kMaxTableCells = 1000000;
constexpr qint64 kMaxTableBytes = qint64(64) << 20;

struct Grid
{
    QVector<QVector<QString>> rows;
    int columns = 0; // the most cells of any row
};

// Bytes up to the first zero byte, in the local 8-bit encoding, split into rows at CR LF, LF or
// CR (blank lines vanish) and into cells at every comma (empty cells kept). Nothing when the
// rows times the widest row exceed kMaxTableCells; then no cell is built.
std::optional<Grid> parseTable(const QByteArray &bytes);

enum class TableRead {
    Ok,
    CannotOpen,
    TooLarge, // over kMaxTableBytes or kMaxTableCells
};

struct TableFile
{
    TableRead status = TableRead::Ok;
    Grid grid; // empty unless Ok
};

// Reads and parses the file, refusing one too large for the table before reading it whole.
TableFile readTableFile(const QString &path);

// Whether the table could load the file (without building it). A file it could not is never
// written over by the table either.
TableRead checkTableFile(const QString &path);

// What the user is told about a file too large for the table.
QString tooLargeText();

// Replaces the table's contents with the grid: one item per cell read, none for the cells that
// shorter rows lack. Column widths follow the contents plus 5 pixels; the last one stretches.
void fillTable(QTableWidget &table, const Grid &grid);

// Every row with the table's column count: cells joined by commas (a cell without an item is
// empty), each row ended by CR LF, in the local 8-bit encoding.
QByteArray tableBytes(const QTableWidget &table);

} // namespace csv
