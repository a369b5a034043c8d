#pragma once

#include <QByteArray>
#include <QString>

// The CSV file rules of the whole program: local 8-bit text, "," between cells, CR LF after
// each record, no quoting. The quick record and lookup tools and the script commands 存csv and
// 查csv all go through these routines.
namespace csv {

// The limits of the program's narrow buffers: a path, a record (with CR LF and the terminating
// zero in 32,767 bytes) and a lookup result. Longer texts are refused, never cut.
constexpr int kMaxPathBytes = 1023;
constexpr int kMaxRecordBytes = 32764;
constexpr int kMaxValueBytes = 32766;

enum class Status {
    Ok,
    CannotOpen, // missing folder, a folder in the file's place, locked by another program
    WriteFailed, // opened, but the record did not reach the disk whole (disk full)
    PathTooLong,
    RecordTooLong,
    ValueTooLong,
};

// Appends the record's local 8-bit bytes and CR LF in one write, creating the file.
Status appendCsvRecord(const QString &path, const QString &record);

struct Lookup
{
    Status status = Status::Ok;
    QString value; // empty when the key is missing or its cell ends the line
};

// Reads the whole file and returns the cell after the one holding the key's first occurrence.
Lookup lookupCsvNextCell(const QString &path, const QString &key);

// The lookup rule on bytes. Only the part before the first zero byte is searched; the key is
// found as a plain substring anywhere (inside a cell or across cells). From the end of the
// occurrence the scan looks for the comma that closes the key's cell, peeking one byte ahead:
// a CR or LF there, or a line end reached, means the key's cell is the last of its line and the
// result is empty. Rows may end in CR LF, LF or CR.
QByteArray nextCellAfterKey(const char *data, qsizetype size, const QByteArray &key);

enum class Operation { Record, Lookup };

// What the user is told when a record or a lookup fails: the window shows it in a message box,
// the commands after their line. Empty for Ok.
QString failureText(Operation operation, Status status);

// Whether the path, with native separators and in the local 8-bit encoding, fits the buffer.
bool pathFits(const QString &path);

// The label text of the quick tools: texts over 20 bytes (local 8-bit) are cut to 20
// characters, or to 10 when wide characters still make them too long, and marked with "...".
QString shortenForLabel(const QString &text);

// The record tool's file, which 存csv also appends to when its argument names no file. Written
// by the window, read by the interpreter thread.
void setRecordPath(const QString &path);
QString recordPath();

} // namespace csv
