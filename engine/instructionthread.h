#pragma once

#include <QMutex>
#include <QStringList>
#include <QThread>
#include <QVector>

#include <atomic>
#include <functional>

class Platform;
class Sleeper;

// The status-line hint shown when a run starts and after a repeated run.
QString runHintText();

// The interpreter: executes the prepared instruction list on its own thread, one line after
// another. One object lives with the main window and is started again for every run.
class QInstructionThread : public QThread
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

    // One statement line, split.
    struct Line
    {
        QString text; // the whole trimmed line
        QString command;
        QString argument;
    };

    enum class Outcome { Continue, EndRun };
    using Handler = Outcome (QInstructionThread::*)(const Line &);
    enum class Match { Equals, BeginsWith, StringCommand, NumberCommand };
    struct Row
    {
        Match match;
        QString keyword;
        Handler handler;
    };
    static const QVector<Row> &dispatchTable();

    int listSize() const;
    QString entryAt(int index) const;
    void pause(int ms);
    QString readClipboard();

    Outcome executeLine();
    void showLineError(int index, QString text);
    int passOffset() const;

    // Source rule: replaces arg by 变n, 串n or (when allowClipboard and arg is exactly
    // "[复制]") the clipboard text. false after reporting a variable number out of range.
    bool resolveSource(const Line &line, QString &arg, bool allowClipboard);
    // Result target rule: (变n) replaces, (串n) appends, (复制) goes to the clipboard.
    // delivered tells whether the argument named a target; false on an index error.
    bool deliverResult(const Line &line, const QString &result, bool *delivered);
    bool validIndex(int n) const { return n >= 1 && n <= 100; }

    void applyBlockRule(bool condition);
    void applyElseRule();

    Outcome cmdRepeat(const Line &line);
    Outcome cmdStop(const Line &line);
    Outcome cmdCopy(const Line &line);
    Outcome cmdClipboardCondition(const Line &line);
    Outcome cmdCompare(const Line &line);
    Outcome cmdLoop(const Line &line);
    Outcome cmdStringVariable(const Line &line);
    Outcome cmdNumberVariable(const Line &line);
    Outcome cmdRefresh(const Line &line);
    Outcome cmdJumpTo(const Line &line);
    Outcome cmdJumpForward(const Line &line);
    Outcome cmdJumpBack(const Line &line);
    void jumpToLine(int n);

    mutable QMutex m_listLock;
    QStringList m_instructionList;

    Platform *m_platform = nullptr;
    Sleeper *m_sleeper = nullptr;
    std::function<QString()> m_clipboardReader;
    bool m_fileStartMode = false;

    RunState *m_run = nullptr; // valid only inside run()
};
