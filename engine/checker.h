#pragma once

#include "engine/preparation.h"

#include <QString>
#include <QVector>

#include <functional>

// Finding a script's mistakes before it runs. The checker reads the prepared lines the way the
// interpreter will and lists what a run would meet. Each command checks its own lines with the
// parsing it runs with (the check column of the dispatch table), so the two cannot drift.
namespace checker {

enum class Severity {
    Error, // the run stops at this line when it gets there, or the blocks do not pair up
    Warning, // likely a mistake, but the run goes on (or it depends on the machine it runs on)
};

struct Problem
{
    Severity severity = Severity::Error;
    // The prepared line number the run shows and jumps to (1-based); 0 for a problem of a
    // directive, which becomes no prepared line (an #insert of a missing file, a #define).
    int line = 0;
    preparation::LineOrigin origin; // where to show it: the script (file empty) or an #insert
    QString message; // in the words of the program's own messages
};

struct Options
{
    // Whether a file exists, for the bitmaps, folders and CSV files the lines name; by
    // default the file system is asked. Tests and fuzzing give their own.
    std::function<bool(const QString &path)> fileExists;
};

struct Report
{
    preparation::PreparedScript script;
    QVector<Problem> problems; // in the order of the prepared lines; directives first
    int errors = 0;
    int warnings = 0;
};

// Checks prepared lines with their origins and the notes preparation made about directives.
QVector<Problem> check(const preparation::PreparedScript &script, const Options &options = {});

// Prepares a script text as a run from the editor does and checks it.
Report checkText(const QString &text, const preparation::FileReader &reader
    = preparation::readInsertFile, const Options &options = {});

} // namespace checker
