#pragma once

#include "engine/instructionthread.h"
#include "engine/preparation.h"
#include "engine/sleeper.h"
#include "fakeplatform.h"

#include <QMutex>
#include <QStringList>
#include <QVector>

// Sleeps nothing, but remembers every pause that was asked for.
class RecordingSleeper : public Sleeper
{
public:
    void sleepMs(int ms) override
    {
        QMutexLocker lock(&mutex);
        pauses.append(ms);
    }
    QVector<int> taken() const
    {
        QMutexLocker lock(&mutex);
        return pauses;
    }

private:
    mutable QMutex mutex;
    QVector<int> pauses;
};

// Everything one run sent out, in order.
struct RunRecord
{
    // ShowDisposingFile, and kRunHint for ShowRunHint
    static constexpr const char *kRunHint = "(run hint)";
    QStringList messages;
    QStringList clipboardWrites; // ClipboardSetText
    QVector<int> steps; // Signal_StepNum
    int refreshRequests = 0; // Signal_RefreshInstructions
    QVector<int> pauses; // every sleep, in order
};

// Runs a prepared list (or script text through the full preparation) on a real interpreter
// thread with zero pacing, and waits for it to end.
class ScriptRun
{
public:
    FakePlatform platform;
    RecordingSleeper sleeper;
    QInstructionThread thread;
    QString clipboard; // what the clipboard reader returns
    bool fileStartMode = false;
    // Called on the interpreter thread when 刷新 asks for a refresh; returns the new list.
    std::function<QStringList()> onRefresh;

    RunRecord runList(const QStringList &list);
    RunRecord runScript(const QString &text) { return runList(preparation::prepareFull(text)); }
};
