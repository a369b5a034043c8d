#pragma once

#include "engine/commandcontext.h"

#include <QStringList>
#include <QVector>

#include <atomic>
#include <functional>

class Sleeper;

// What a run reports to the window: the interpreter thread's signals.
class RunOutbox
{
public:
    virtual ~RunOutbox() = default;
    virtual void showDisposingFile(const QString &text) = 0;
    virtual void refreshInstructions() = 0;
    virtual void clipboardSetText(const QString &text) = 0;
    virtual void stepNum(int index) = 0;
    virtual void showRunHint() = 0;
    // The line at index (0-based) stopped the run with an error; said before its red line.
    virtual void lineFailed(int /*index*/) {}
};

// The instruction list as a run reads it: its size and entries are asked for afresh at every
// step, since a refresh may replace the list while the run goes on.
class InstructionSource
{
public:
    virtual ~InstructionSource() = default;
    virtual int size() const = 0;
    // The entry at index, or an empty text outside the list.
    virtual QString entryAt(int index) const = 0;
};

// Everything one run works with and does not own. All of it must outlive the run.
struct RunServices
{
    InstructionSource &instructions;
    RunOutbox &outbox;
    Platform &platform;
    Sleeper &sleeper;
    // The clipboard's text at the moment of the call; when empty, reads give an empty text.
    std::function<QString()> readClipboard;
    std::atomic<bool> &executeFlag; // the run may go on
    std::atomic<bool> &waitFlag; // a waiting command may go on
    bool fileStartMode = false;
};

// One run of an instruction list: the run state, the run loop and what the commands see of
// it. It does not care which thread runs it; QInstructionThread runs it on its own.
class Interpreter final : public CommandContext
{
public:
    explicit Interpreter(const RunServices &services);

    // Runs the list from its first line to its end (with repetitions), or until the run flag
    // is cleared, and carries out the end steps.
    void run();

    // CommandContext
    QString &stringVariable(int n) override { return m_strings[n - 1]; }
    QString &numberVariable(int n) override { return m_numbers[n - 1]; }
    int passOffset() const override { return m_repeatTotal - m_repeatRemaining; }
    void showLineError(const QString &text) override { showLineError(m_index, text); }
    QString readClipboard() override;
    void setClipboard(const QString &text) override { m_services.outbox.clipboardSetText(text); }
    Platform &platform() override { return m_services.platform; }
    void pause(int ms) override;
    bool running() const override { return m_services.executeFlag; }
    std::atomic<bool> &waitingFlag() override { return m_services.waitFlag; }
    void stopRun() override { m_services.executeFlag = false; }
    int currentIndex() const override { return m_index; }
    void setCurrentIndex(int index) override { m_index = index; }
    int listSize() const override { return m_services.instructions.size(); }
    QString entryAt(int index) const override { return m_services.instructions.entryAt(index); }
    void applyBlockRule(bool condition) override;
    void startRepetition(int count) override;
    void enterLoop(const QString &name, int count) override;
    bool loopAgain(const QString &name) override;
    void requestRefresh() override { m_services.outbox.refreshInstructions(); }

private:
    // At the end of the list: false when the run is over, true after starting the next pass.
    bool nextPass();
    LineOutcome executeLine();
    void showLineError(int index, QString text);
    void applyElseRule();
    // Index of the "}" that closes a block whose body starts at `from`, or -1.
    int closingBrace(int from) const;
    void finish();

    RunServices m_services;

    // The run state: created with the run, gone with it.
    QVector<QString> m_strings = QVector<QString>(100);
    QVector<QString> m_numbers = QVector<QString>(100);
    int m_index = 0;
    int m_repeatTotal = 0;
    int m_repeatRemaining = 0;
    int m_repeatStart = 0;
    QStringList m_loopNames;
    QVector<int> m_loopCounters;
};
