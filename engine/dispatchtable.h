#pragma once

#include "engine/commandcontext.h"
#include "engine/linecheck.h"

#include <QString>
#include <QVector>

// Every command has this shape.
using Command = LineOutcome (*)(CommandContext &, const ScriptLine &);

// How a row's keyword is held against a line's command word.
enum class MatchRule {
    Equals, // the word is exactly the keyword (case-sensitive)
    BeginsWith, // the word begins with the keyword
    StringCommand, // the word is 串n (the keyword is unused)
    NumberCommand, // the word is 变n (the keyword is unused)
};

struct CommandRow
{
    MatchRule match;
    QString keyword;
    Command command;
    Check check; // reads a line as the command would, without running it; null: nothing to find
};

// The rows in the order they are tested; the first row whose rule matches runs.
const QVector<CommandRow> &dispatchTable();

bool rowMatches(const CommandRow &row, const QString &commandWord);

// The row of a command word, or nullptr when no row matches.
const CommandRow *findRow(const QString &commandWord);

// The command for a command word, or nullptr when no row matches.
Command findCommand(const QString &commandWord);
