#pragma once

#include "engine/commandcontext.h"

#include <QMutex>
#include <QStringList>
#include <QThread>
#include <QVector>

#include <atomic>
#include <functional>

class Platform;
class Sleeper;

// The interpreter: executes the prepared instruction list on its own thread, one line after
// another. One object lives with the main window and is started again for every run.
class QInstructionThread : public QThread, public CommandContext
{
    Q_OBJECT

public:
    explicit QInstructionThread(QObject *parent = nullptr);
    ~QInstructionThread() override;

    // Shared with the GUI thread. The list is exchanged under the lock; the interpreter takes
    // the lock for every read of its size or of an entry.
    void setInstructionList(const QStringList &list);
    QStringList instructionList() const;

    // true while the run may go on / while a waiting command may go on.
    std::atomic<bool> executeFlag{false};
    std::atomic<bool> waitFlag{false};

    // Injected collaborators. The platform and sleeper must outlive every run.
    void setPlatform(Platform *platform) { m_platform = platform; }
    void setSleeper(Sleeper *sleeper) { m_sleeper = sleeper; }
    // Returns the clipboard's plain text at the moment it is called (from this thread).
    void setClipboardReader(std::function<QString()> reader) { m_clipboardReader = std::move(reader); }
    void setFileStartMode(bool on) { m_fileStartMode = on; }
    bool fileStartMode() const { return m_fileStartMode; }

signals:
    void ShowDisposingFile(QString filePath);
    void Signal_RefreshInstructions();
    void Set_pBtn_Enable();
    void ClipboardSetText(QString clipboardText);
    void Signal_StepNum(int sNum);
    // A repeated run is over: the status line goes back to its hint (resident mode only).
    void ShowRunHint();

protected:
    void run() override;

private:
    // Everything that lives only while one run goes on.
    struct RunState
    {
        QVector<QString> strings = QVector<QString>(100);
        QVector<QString> numbers = QVector<QString>(100);
        int index = 0;
        int repeatTotal = 0;
        int repeatRemaining = 0;
        int repeatStart = 0;
        QStringList loopNames;
        QVector<int> loopCounters;
    };

    using Member = LineOutcome (QInstructionThread::*)(const ScriptLine &);
    using Family = LineOutcome (*)(CommandContext &, const ScriptLine &);
    enum class Match { Equals, BeginsWith, StringCommand, NumberCommand };
    struct Row
    {
        Match match;
        QString keyword;
        Member member; // a command of the core, or
        Family family; // a command of a family (engine/commands.h)
    };
    static const QVector<Row> &dispatchTable();

    LineOutcome executeLine();
    void showLineError(int index, QString text);

    void applyElseRule();
    // Index of the "}" that closes a block whose body starts at `from`, or -1.
    int closingBrace(int from) const;

    LineOutcome cmdRepeat(const ScriptLine &line);
    LineOutcome cmdStop(const ScriptLine &line);
    LineOutcome cmdCopy(const ScriptLine &line);
    LineOutcome cmdClipboardCondition(const ScriptLine &line);
    LineOutcome cmdCompare(const ScriptLine &line);
    LineOutcome cmdLoop(const ScriptLine &line);
    LineOutcome cmdStringVariable(const ScriptLine &line);
    LineOutcome cmdNumberVariable(const ScriptLine &line);
    LineOutcome cmdRefresh(const ScriptLine &line);
    LineOutcome cmdJumpTo(const ScriptLine &line);
    LineOutcome cmdJumpForward(const ScriptLine &line);
    LineOutcome cmdJumpBack(const ScriptLine &line);
    void jumpToLine(int n);

public:
    // CommandContext: what a command sees of the running interpreter.
    QString &stringVariable(int n) override { return m_run->strings[n - 1]; }
    QString &numberVariable(int n) override { return m_run->numbers[n - 1]; }
    int passOffset() const override;
    bool resolveSource(const ScriptLine &line, QString &arg, bool allowClipboard) override;
    bool deliverResult(const ScriptLine &line, const QString &result, bool *delivered) override;
    void showLineError(const QString &text) override { showLineError(m_run->index, text); }
    QString readClipboard() override;
    void setClipboard(const QString &text) override { emit ClipboardSetText(text); }
    Platform &platform() override;
    void pause(int ms) override;
    bool running() const override { return executeFlag; }
    std::atomic<bool> &waitingFlag() override { return waitFlag; }
    int currentIndex() const override { return m_run->index; }
    void setCurrentIndex(int index) override { m_run->index = index; }
    int listSize() const override;
    QString entryAt(int index) const override;
    void applyBlockRule(bool condition) override;

private:
    mutable QMutex m_listLock;
    QStringList m_instructionList;

    Platform *m_platform = nullptr;
    Sleeper *m_sleeper = nullptr;
    std::function<QString()> m_clipboardReader;
    bool m_fileStartMode = false;

    RunState *m_run = nullptr; // valid only inside run()
};
