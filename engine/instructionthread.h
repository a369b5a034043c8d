#pragma once

#include "engine/interpreter.h"
#include "engine/sleeper.h"

#include <QMutex>
#include <QStringList>
#include <QThread>

#include <atomic>
#include <functional>

class Platform;

// The interpreter thread: runs the prepared instruction list on its own thread, one line after
// another (the run itself is an Interpreter). One object lives with the main window and is
// started again for every run. It holds what the GUI thread shares with a run: the list under
// its lock, the two flags, the injected collaborators and the signals.
class QInstructionThread : public QThread, private RunOutbox, private InstructionSource
{
    Q_OBJECT

public:
    explicit QInstructionThread(QObject *parent = nullptr);
    ~QInstructionThread() override;

    // Shared with the GUI thread. The list is exchanged under the lock; the run takes the
    // lock for every read of its size or of an entry.
    void setInstructionList(const QStringList &list);
    QStringList instructionList() const;

    // true while the run may go on / while a waiting command may go on.
    std::atomic<bool> executeFlag {false};
    std::atomic<bool> waitFlag {false};

    // Injected collaborators; they must outlive every run. A run needs a platform: without
    // one it is refused. Without a sleeper of its own the thread sleeps for real.
    void setPlatform(Platform *platform) { m_platform = platform; }
    void setSleeper(Sleeper *sleeper) { m_sleeper = sleeper ? sleeper : &m_realSleeper; }
    // Returns the clipboard's plain text at the moment it is called (from this thread).
    void setClipboardReader(std::function<QString()> reader)
    {
        m_clipboardReader = std::move(reader);
    }
    void setFileStartMode(bool on) { m_fileStartMode = on; }
    bool fileStartMode() const { return m_fileStartMode; }

signals:
    void ShowDisposingFile(QString filePath);
    void Signal_RefreshInstructions();
    void Set_pBtn_Enable(); // declared only: nothing emits it
    void ClipboardSetText(QString clipboardText);
    void Signal_StepNum(int sNum);
    // A repeated run is over: the status line goes back to its hint (resident mode only).
    void ShowRunHint();
    // The line at index (0-based) of the list stopped the run with an error; comes just before
    // the red line that ShowDisposingFile shows.
    void Signal_LineFailed(int index);

protected:
    void run() override;

private:
    void refuseRun();

    // RunOutbox: the run's reports become the signals.
    void showDisposingFile(const QString &text) override { emit ShowDisposingFile(text); }
    void refreshInstructions() override { emit Signal_RefreshInstructions(); }
    void clipboardSetText(const QString &text) override { emit ClipboardSetText(text); }
    void stepNum(int index) override { emit Signal_StepNum(index); }
    void showRunHint() override { emit ShowRunHint(); }
    void lineFailed(int index) override { emit Signal_LineFailed(index); }

    // InstructionSource: the shared list, under its lock.
    int size() const override;
    QString entryAt(int index) const override;

    mutable QMutex m_listLock;
    QStringList m_instructionList;

    Platform *m_platform = nullptr;
    RealSleeper m_realSleeper;
    Sleeper *m_sleeper = &m_realSleeper;
    std::function<QString()> m_clipboardReader;
    bool m_fileStartMode = false;
};
