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

// Splits a trimmed line at its "->" as a run reads it: a statement has exactly one. Returns how
// many parts the arrows make (1 without an arrow); line is filled only when there are two.
int splitStatement(const QString &text, ScriptLine *line);

// What a command tells the run loop.
enum class LineOutcome {
    Continue, // the run goes on (it still ends after the line when the run flag was cleared)
    EndRun, // the run ends at once: no step signal, no pause
};

// Where the result target rule put a result.
enum class Delivery {
    Delivered, // the text named a target and the result went there
    NoTarget, // the text names no target; the caller decides what happens to the result
    Failed, // the target's variable number was out of range: the line error is reported
};

// What the source rule finds at the end of an argument.
enum class Source {
    AsWritten, // the argument is used as it stands
    NumberVariable, // ends in [变n]: the variable's text replaces the argument
    StringVariable, // ends in [串n]
    Clipboard, // is exactly "[复制]" (where the command allows it)
};

// What the result target rule finds at the end of a text.
enum class Target {
    None,
    NumberVariable, // (变n): replaces 变n
    StringVariable, // (串n): appends to 串n
    Clipboard, // (复制) or （复制）
};

// What a command sees of the running interpreter. Every command, of the core and of the
// families, is a free function `LineOutcome command(CommandContext &, const ScriptLine &)`
// listed in the dispatch table (engine/dispatchtable.h).
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
    // exactly "[复制]"; n is the variable number. Commands and their checks both read it here.
    static Source sourceOf(const QString &arg, bool allowClipboard, int *n);
    // Applies the source rule. false after reporting a variable number out of range.
    bool resolveSource(const ScriptLine &line, QString &arg, bool allowClipboard);
    // Result target rule: (变n) replaces 变n, (串n) appends to 串n, "(复制)" or "（复制）"
    // goes to the clipboard, as the end of targetText says. targetText is the text that ends
    // in the target: the argument as written for most commands, the argument after the source
    // rule for 鼠标, the part after "=>" for 识别, and for 截图 and 图片 the bracketed suffix
    // their own pattern captured (their patterns accept mixed bracket widths around 复制,
    // so they pass that suffix rebuilt with plain brackets).
    Delivery deliverResult(
        const ScriptLine &line, const QString &targetText, const QString &result);
    static Target targetOf(const QString &targetText, int *n);

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
    // Clears the run flag: the run ends after the current line.
    virtual void stopRun() = 0;

    // Position in the instruction list; a command that jumps sets the index of the line
    // before the one to run next (the run adds 1 after every line).
    virtual int currentIndex() const = 0;
    virtual void setCurrentIndex(int index) = 0;
    virtual int listSize() const = 0;
    virtual QString entryAt(int index) const = 0;
    // Skips the block after a false condition (to its "else" block when there is one).
    virtual void applyBlockRule(bool condition) = 0;

    // The whole-script repetition: count passes, each starting at the line after this one.
    virtual void startRepetition(int count) = 0;
    // Named loops: entering one sets its counter; at its closing line the counter goes down
    // and loopAgain tells whether another round is due (false for a loop never entered).
    virtual void enterLoop(const QString &name, int count) = 0;
    virtual bool loopAgain(const QString &name) = 0;
    // Asks the window to prepare the editor text again into the instruction list.
    virtual void requestRefresh() = 0;
};
