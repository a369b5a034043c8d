#pragma once

#include "engine/instructionthread.h"
#include "engine/preparation.h"
#include "fakeplatform.h"
#include "fakesleeper.h"

#include <QMutex>
#include <QStringList>
#include <QVector>

#include <functional>

// Everything one run sent out, in order.
struct RunRecord
{
    // ShowDisposingFile, and kRunHint for ShowRunHint
    static constexpr const char *kRunHint = "(run hint)";
    QStringList messages;
    QStringList clipboardWrites; // ClipboardSetText
    QVector<int> steps; // Signal_StepNum
    QVector<int> failedLines; // Signal_LineFailed
    int refreshRequests = 0; // Signal_RefreshInstructions
    QVector<int> pauses; // every sleep, in order
    // The fake platform's calls with the run's own events between them, as they happened:
    // "pause:N" for every sleep, "|" for every step signal and "~" where a new pass of the
    // whole-script repetition begins.
    QStringList timeline;

    // What each executed line did, in order: platform calls and its own pauses, runs of
    // pauses added up ("pause:120"). The interpreter's pacing (500 ms before the first line,
    // 50 ms after every line, before a new pass and at the end) is left out.
    QList<QStringList> lines() const;
    // The calls of the only (or first) line.
    QStringList firstLine() const { return lines().value(0); }
    // The last red error line as "number:text" without its frame, or empty.
    QString lastError() const;
    int errorCount() const { return messages.filter(QStringLiteral("行有误：")).size(); }
};

// Runs a prepared list (or script text through the full preparation) on a real interpreter
// thread, against the recording fake platform with zero pacing, and collects what it sent.
class ScriptRun
{
public:
    FakePlatform platform;
    FakeSleeper sleeper;
    QString clipboard; // what the clipboard reader returns; writes replace it
    bool fileStartMode = false;
    // When set, the run reaches this platform instead of the fake (real files and processes).
    Platform *livePlatform = nullptr;
    // Off for runs so long that the timeline would only cost (benchmarks).
    bool keepTimeline = true;
    // Called on the interpreter thread when 刷新 asks for a refresh; returns the new list.
    std::function<QStringList()> onRefresh;
    // Called on the interpreter thread after every pause with the run's pauses so far.
    std::function<void(int count)> onPause;
    // Called on the interpreter thread for every clipboard read.
    std::function<void()> onClipboardRead;

    QInstructionThread thread;

    ScriptRun();
    ~ScriptRun();

    RunRecord runList(const QStringList &list);
    RunRecord runScript(const QString &text) { return runList(preparation::prepareFull(text)); }

    // A run that the test watches while it goes on: start returns at once, finish waits for
    // the end and hands over the record.
    void start(const QStringList &list);
    void startScript(const QString &text) { start(preparation::prepareFull(text)); }
    RunRecord finish();

private:
    void connectSignals();
    // On the interpreter thread: the platform calls since the last event, then the event.
    void note(const QString &event);

    QMutex m_mutex;
    RunRecord m_record;
    int m_seenCalls = 0;
    QObject m_context;
};
