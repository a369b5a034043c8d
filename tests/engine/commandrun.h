#pragma once

// Runs script text on the real interpreter with the recording fake and no real pauses, and
// logs every pause into the same list as the platform calls, so a test sees keys, buttons,
// moves and pauses in the order they happened, line by line.
#include "engine/instructionthread.h"
#include "engine/preparation.h"
#include "engine/sleeper.h"
#include "fakeplatform.h"

#include <QRegularExpression>

#include <functional>

class CommandRun
{
public:
    FakePlatform platform;
    QInstructionThread thread;
    QString clipboard; // what a clipboard read gives; writes replace it
    QStringList messages; // ShowDisposingFile
    QStringList clipboardWrites; // ClipboardSetText
    // Called on the interpreter thread after every pause with the pauses taken so far.
    std::function<void(int count)> onPause;
    // Called on the interpreter thread for every clipboard read.
    std::function<void()> onClipboardRead;

    CommandRun() { thread.setSleeper(&m_sleeper); }

    void run(const QString &text)
    {
        thread.setPlatform(&platform);
        thread.setClipboardReader([this] {
            if (onClipboardRead)
                onClipboardRead();
            return clipboard;
        });
        thread.setInstructionList(preparation::prepareFull(text));
        QObject context;
        QObject::connect(
            &thread, &QInstructionThread::ShowDisposingFile, &context,
            [this](const QString &t) {
                messages << t;
                // A new pass of 执行 begins with a pause of the run's own.
                if (t.contains(QStringLiteral("正进行循环操作")))
                    platform.calls << QStringLiteral("~");
            },
            Qt::DirectConnection);
        QObject::connect(
            &thread, &QInstructionThread::ClipboardSetText, &context,
            [this](const QString &t) {
                clipboardWrites << t;
                clipboard = t;
            },
            Qt::DirectConnection);
        QObject::connect(
            &thread, &QInstructionThread::Signal_StepNum, &context,
            [this](int) { platform.calls << QStringLiteral("|"); }, Qt::DirectConnection);
        thread.executeFlag = true;
        thread.start();
        thread.wait();
    }

    // What each executed line did, in order: platform calls and its own pauses, runs of
    // pauses added up ("pause:120"). The interpreter's pacing (500 ms before the first line,
    // 50 ms after every line, before a new pass and at the end) is left out.
    QList<QStringList> lines() const
    {
        QList<QStringList> result;
        QStringList current;
        bool pacing = true; // the next entry is the interpreter's own pause
        for (const QString &call : platform.calls) {
            if (call == QLatin1String("|")) {
                result << current;
                current.clear();
                pacing = true;
                continue;
            }
            if (call == QLatin1String("~")) {
                pacing = true;
                continue;
            }
            const bool isPause = call.startsWith(QLatin1String("pause:"));
            if (pacing && isPause) {
                pacing = false;
                continue;
            }
            pacing = false;
            if (isPause && !current.isEmpty()
                && current.last().startsWith(QLatin1String("pause:"))) {
                current.last()
                    = QStringLiteral("pause:%1").arg(pauseOf(current.last()) + pauseOf(call));
                continue;
            }
            current << call;
        }
        return result;
    }

    // The calls of the only (or first) line.
    QStringList firstLine() const { return lines().value(0); }

    // The last red error line's text without its frame, or empty.
    QString lastError() const
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
    int errorCount() const { return messages.filter(QStringLiteral("行有误：")).size(); }

private:
    static int pauseOf(const QString &call) { return call.mid(6).toInt(); }

    class LoggingSleeper : public Sleeper
    {
    public:
        explicit LoggingSleeper(CommandRun &run)
            : m_run(run)
        {
        }
        void sleepMs(int ms) override
        {
            m_run.platform.calls << QStringLiteral("pause:%1").arg(ms);
            ++m_count;
            if (m_run.onPause)
                m_run.onPause(m_count);
        }

    private:
        CommandRun &m_run;
        int m_count = 0;
    };
    LoggingSleeper m_sleeper {*this};
};
