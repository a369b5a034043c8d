#pragma once

#include <QString>

#include <atomic>

class Platform;

// One statement line of a run, split at its "->".
struct ScriptLine
{
    QString text; // the whole trimmed line
    QString command; // trimmed
    QString argument; // trimmed
};

// What a command tells the run loop.
enum class LineOutcome {
    Continue, // the run goes on (it still ends after the line when the run flag was cleared)
    EndRun, // the run ends at once: no step signal, no pause
};

// What a command sees of the running interpreter. Command families are free functions
// `LineOutcome command(CommandContext &, const ScriptLine &)` listed in the dispatch table.
class CommandContext
{
public:
    virtual ~CommandContext() = default;

    // Variables 串n and 变n, n in 1 … 100 (callers check the range with validIndex).
    virtual QString &stringVariable(int n) = 0;
    virtual QString &numberVariable(int n) = 0;
    static bool validIndex(int n) { return n >= 1 && n <= 100; }

    // Completed passes of the whole-script repetition, and that plus 1.
    virtual int passOffset() const = 0;
    int passNumber() const { return passOffset() + 1; }

    // Source rule, in the order number source, string source, then (when allowClipboard)
    // exactly "[复制]". false after reporting a variable number out of range.
    virtual bool resolveSource(const ScriptLine &line, QString &arg, bool allowClipboard) = 0;
    // Result target rule on the line's argument: (变n) replaces, (串n) appends, (复制)/（复制）
    // goes to the clipboard. delivered tells whether the argument named a target; false after
    // reporting a variable number out of range.
    virtual bool deliverResult(const ScriptLine &line, const QString &result, bool *delivered) = 0;

    // Reports an error of the current line (red status line) and clears the run flag.
    virtual void showLineError(const QString &text) = 0;

    // The clipboard's text now (read on the GUI thread), and a write through the GUI thread.
    virtual QString readClipboard() = 0;
    virtual void setClipboard(const QString &text) = 0;

    virtual Platform &platform() = 0;
    // Pacing and waits go through the run's sleeper.
    virtual void pause(int ms) = 0;
    // The run flag (false once a stop was asked for) and the wait flag of waiting commands.
    virtual bool running() const = 0;
    virtual std::atomic<bool> &waitingFlag() = 0;

    // Position in the instruction list; a command that jumps sets the index of the line
    // before the one to run next (the run adds 1 after every line).
    virtual int currentIndex() const = 0;
    virtual void setCurrentIndex(int index) = 0;
    virtual int listSize() const = 0;
    virtual QString entryAt(int index) const = 0;
    // Skips the block after a false condition (to its "else" block when there is one).
    virtual void applyBlockRule(bool condition) = 0;
};
