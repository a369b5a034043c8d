#include "scriptrun.h"

RunRecord ScriptRun::runList(const QStringList &list)
{
    RunRecord record;
    QMutex mutex;
    thread.setPlatform(&platform);
    thread.setSleeper(&sleeper);
    thread.setFileStartMode(fileStartMode);
    thread.setClipboardReader([this] { return clipboard; });
    thread.setInstructionList(list);

    // Direct connections: the collectors run on the interpreter thread, in emission order.
    QObject context;
    QObject::connect(&thread, &QInstructionThread::ShowDisposingFile, &context,
                     [&](const QString &t) { QMutexLocker l(&mutex); record.messages << t; },
                     Qt::DirectConnection);
    QObject::connect(&thread, &QInstructionThread::ShowRunHint, &context,
                     [&] { QMutexLocker l(&mutex); record.messages << RunRecord::kRunHint; },
                     Qt::DirectConnection);
    QObject::connect(&thread, &QInstructionThread::ClipboardSetText, &context,
                     [&](const QString &t) {
                         QMutexLocker l(&mutex);
                         record.clipboardWrites << t;
                         clipboard = t; // the write reaches the clipboard before the next read
                     },
                     Qt::DirectConnection);
    QObject::connect(&thread, &QInstructionThread::Signal_StepNum, &context,
                     [&](int n) { QMutexLocker l(&mutex); record.steps << n; },
                     Qt::DirectConnection);
    QObject::connect(&thread, &QInstructionThread::Signal_RefreshInstructions, &context,
                     [&] {
                         QMutexLocker l(&mutex);
                         ++record.refreshRequests;
                         if (onRefresh)
                             thread.setInstructionList(onRefresh());
                     },
                     Qt::DirectConnection);

    thread.executeFlag = true;
    thread.start();
    thread.wait();
    record.pauses = sleeper.taken();
    return record;
}
