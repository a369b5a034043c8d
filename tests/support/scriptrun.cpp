#include "scriptrun.h"

#include <QRegularExpression>

namespace {

int pauseOf(const QString &entry)
{
    return entry.mid(6).toInt();
}

bool isPause(const QString &entry)
{
    return entry.startsWith(QLatin1String("pause:"));
}

} // namespace

QList<QStringList> RunRecord::lines() const
{
    QList<QStringList> result;
    QStringList current;
    bool pacing = true; // the next entry is the interpreter's own pause
    for (const QString &entry : timeline) {
        if (entry == QLatin1String("|")) {
            result << current;
            current.clear();
            pacing = true;
            continue;
        }
        if (entry == QLatin1String("~")) {
            pacing = true;
            continue;
        }
        if (pacing && isPause(entry)) {
            pacing = false;
            continue;
        }
        pacing = false;
        if (isPause(entry) && !current.isEmpty() && isPause(current.last())) {
            current.last()
                = QStringLiteral("pause:%1").arg(pauseOf(current.last()) + pauseOf(entry));
            continue;
        }
        current << entry;
    }
    return result;
}

QString RunRecord::lastError() const
{
    static const QRegularExpression frame(
        QStringLiteral("^<span style=\"color:red;\">第(\\d+)行有误：(.*)</span>$"));
    for (int i = messages.size() - 1; i >= 0; --i) {
        const QRegularExpressionMatch m = frame.match(messages.at(i));
        if (m.hasMatch())
            return m.captured(1) + QLatin1Char(':') + m.captured(2);
    }
    return {};
}

ScriptRun::ScriptRun()
{
    connectSignals();
    thread.setSleeper(&sleeper);
}

ScriptRun::~ScriptRun()
{
    thread.executeFlag = false;
    thread.waitFlag = false;
    thread.wait();
}

void ScriptRun::note(const QString &event)
{
    QMutexLocker lock(&m_mutex);
    for (; m_seenCalls < platform.calls.size(); ++m_seenCalls)
        m_record.timeline << platform.calls.at(m_seenCalls);
    m_record.timeline << event;
}

// Direct connections: the collectors run on the interpreter thread, in emission order.
void ScriptRun::connectSignals()
{
    QObject::connect(
        &thread, &QInstructionThread::ShowDisposingFile, &m_context,
        [this](const QString &t) {
            QMutexLocker l(&m_mutex);
            m_record.messages << t;
            l.unlock();
            // A new pass of 执行 begins with a pause of the run's own.
            if (keepTimeline && t.contains(QStringLiteral("正进行循环操作")))
                note(QStringLiteral("~"));
        },
        Qt::DirectConnection);
    QObject::connect(
        &thread, &QInstructionThread::ShowRunHint, &m_context,
        [this] {
            QMutexLocker l(&m_mutex);
            m_record.messages << RunRecord::kRunHint;
        },
        Qt::DirectConnection);
    QObject::connect(
        &thread, &QInstructionThread::ClipboardSetText, &m_context,
        [this](const QString &t) {
            QMutexLocker l(&m_mutex);
            m_record.clipboardWrites << t;
            clipboard = t; // the write reaches the clipboard before the next read
        },
        Qt::DirectConnection);
    QObject::connect(
        &thread, &QInstructionThread::Signal_StepNum, &m_context,
        [this](int n) {
            {
                QMutexLocker l(&m_mutex);
                m_record.steps << n;
            }
            if (keepTimeline)
                note(QStringLiteral("|"));
        },
        Qt::DirectConnection);
    QObject::connect(
        &thread, &QInstructionThread::Signal_LineFailed, &m_context,
        [this](int index) {
            QMutexLocker l(&m_mutex);
            m_record.failedLines << index;
        },
        Qt::DirectConnection);
    QObject::connect(
        &thread, &QInstructionThread::Signal_RefreshInstructions, &m_context,
        [this] {
            {
                QMutexLocker l(&m_mutex);
                ++m_record.refreshRequests;
            }
            if (onRefresh)
                thread.setInstructionList(onRefresh());
        },
        Qt::DirectConnection);
}

void ScriptRun::start(const QStringList &list)
{
    {
        QMutexLocker lock(&m_mutex);
        m_record = RunRecord();
        m_seenCalls = platform.calls.size();
    }
    sleeper.clear();
    sleeper.onPause = nullptr;
    if (keepTimeline || onPause) {
        sleeper.onPause = [this](int count, int ms) {
            if (keepTimeline)
                note(QStringLiteral("pause:%1").arg(ms));
            if (onPause)
                onPause(count);
        };
    }
    thread.setPlatform(livePlatform ? livePlatform : &platform);
    thread.setFileStartMode(fileStartMode);
    thread.setClipboardReader([this] {
        if (onClipboardRead)
            onClipboardRead();
        return clipboard;
    });
    thread.setInstructionList(list);
    thread.executeFlag = true;
    thread.start();
}

RunRecord ScriptRun::finish()
{
    thread.wait();
    QMutexLocker lock(&m_mutex);
    if (keepTimeline) {
        for (; m_seenCalls < platform.calls.size(); ++m_seenCalls)
            m_record.timeline << platform.calls.at(m_seenCalls);
    }
    m_record.pauses = sleeper.taken();
    return m_record;
}

RunRecord ScriptRun::runList(const QStringList &list)
{
    start(list);
    return finish();
}
