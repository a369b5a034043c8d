#pragma once

#include <QString>
#include <QStringList>

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

// The single steps, exposed for tests.
QString removeBlockComments(QString text);
QString expandMacros(QString text);
QString expandInclusions(QString text, const FileReader &reader);
QStringList filterLines(const QString &text);

} // namespace preparation

// Reads a script file as the program does: at most maxBytes bytes, up to the first zero byte,
// decoded from the local 8-bit encoding. Empty when the file cannot be read.
QString readScriptFile(const QString &path, int maxBytes = 40960);
