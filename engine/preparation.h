#pragma once

#include <QString>
#include <QStringList>
#include <QVector>

#include <functional>
#include <optional>

// Turning script text into the instruction list: comments, #define, #insert, line filtering.
// Pure functions over text; files named by #insert are read through an injectable reader.
namespace preparation {

// Reads the text of a file named by #insert; nullopt when there is no such file.
using FileReader = std::function<std::optional<QString>(const QString &path)>;

// The default reader: the whole file up to its first zero byte, local 8-bit.
std::optional<QString> readInsertFile(const QString &path);

// Limits of one preparation, all counted over the whole of it rather than per macro or per
// path, so that its time and memory follow from the input alone. Real scripts stay far below.
//
// The largest text a preparation builds while expanding macros and inclusions. Scripts that
// would grow past it (runaway macros, files that insert themselves) stop expanding there.
constexpr int maxPreparedChars = 8 * 1024 * 1024;
// How many #insert directives are replaced by file text, counting every replaced occurrence.
// When the next round would go past it, inclusion stops and the directives still in the text
// stay there, as a missing file's do.
constexpr int maxInsertions = 8192;
// How much text the expansion writes in all: replaced lines of macros and inserted file text.
// Bounds the work of scripts whose text stays small but is rewritten again and again; when it
// runs out, expansion stops and keeps the text as it is.
constexpr qint64 maxExpansionChars = 32 * 1024 * 1024;
// No file has a longer path; a longer #insert path is taken as a missing file without asking.
constexpr int maxInsertPathChars = 4096;

// Full preparation: comment spellings, block comments, macros, inclusions, line filtering.
QStringList prepareFull(const QString &text, const FileReader &reader = readInsertFile);

// Reduced preparation of a refresh: macros, inclusions and line filtering only.
QStringList prepareReduced(const QString &text, const FileReader &reader = readInsertFile);

// Where a prepared line came from: the file (empty for the script's own text, else the path of
// an #insert as it was read) and the line in it, 1-based, counting line feeds (a CR stays part
// of its line).
struct LineOrigin
{
    QString file;
    int line = 0;
    bool rewritten = false; // some character of the prepared line was written by a macro
};

// What became of a directive that did nothing, found while preparing with origins.
struct DirectiveNote
{
    enum Kind {
        MissingInsert, // an #insert whose file was not read: it stays in the text, then dropped
        UnusedMacro, // a #define whose name the rest of the text never uses
        MisplacedMacro, // a #define line after the directives at the start: no directive
    };
    Kind kind = MissingInsert;
    LineOrigin origin;
    QString name; // the path of the #insert, the name of the #define
};

struct PreparedScript
{
    QStringList lines; // exactly what prepareFull gives
    QVector<LineOrigin> origins; // one per line
    QVector<DirectiveNote> notes; // in the order of the text
};

// prepareFull together with the origin of every prepared line. Every character carries its
// source line through the steps; a prepared line takes the origin of its first character
// after trimming, and is marked rewritten when any of its characters came from a macro. So:
// - a statement that a block comment interrupts, or follows on a later line, stays on the
//   line its first character stands on;
// - a line split or joined by the steps gives each resulting line the line of its own first
//   character;
// - a macro's value takes the line of the name it replaces, all its statements when it holds
//   several (";" and so line feeds);
// - inserted text counts lines in its own file, the innermost one when inserts nest (also when
//   a macro wrote the #insert);
// - the comment spellings "#:", "#：", "#[" and "#]" are as long as what they stand for, so
//   no position moves;
// - when a budget stops the expansion, the text as it stands keeps its origins.
// The origins travel in step with the text (four bytes a character), so the cost stays
// linear in the text the preparation writes, within the same limits.
PreparedScript prepareWithOrigins(const QString &text, const FileReader &reader = readInsertFile);
// prepareReduced (the refresh) with the origins of its lines, by the same rules.
PreparedScript prepareReducedWithOrigins(
    const QString &text, const FileReader &reader = readInsertFile);

// The single steps, exposed for tests.
QString removeBlockComments(QString text);
QString expandMacros(QString text);
QString expandInclusions(QString text, const FileReader &reader);
QStringList filterLines(const QString &text);

} // namespace preparation

// Reads a script file as the program does: at most maxBytes bytes, up to the first zero byte,
// decoded from the local 8-bit encoding. Empty when the file cannot be read.
QString readScriptFile(const QString &path, int maxBytes = 40960);
