#include "engine/commands.h"
#include "engine/dispatchtable.h"
#include "engine/interpreter.h"
#include "runmessages.h"
#include "scriptrun.h"

#include <QSemaphore>
#include <QtTest>

// The run loop: repetition, pacing and steps, jumps, refresh, line errors and stopping, on a
// real thread without pacing, and the interpreter alone on the caller's thread.
class TstInterpreter : public QObject
{
    Q_OBJECT

private slots:
    void repetition_data();
    void repetition();
    void pacingAndSteps_data();
    void pacingAndSteps();
    void freshStateEveryRun();
    void jumps_data();
    void jumps();
    void refresh_data();
    void refresh();
    void lineErrors_data();
    void lineErrors();
    void stopFromHook();
    void stopDuringPauseFromAnotherThread();
    void runsWithoutAThread_data();
    void runsWithoutAThread();
    void refusesARunWithoutPlatform();
    void everyKeywordReachesItsRow();
};

void TstInterpreter::repetition_data()
{
    QTest::addColumn<QString>("script");
    QTest::addColumn<bool>("fileStart");
    QTest::addColumn<QString>("clipboard");
    QTest::addColumn<QStringList>("writes");
    QTest::addColumn<QStringList>("messages");

    const QString hint = RunRecord::kRunHint;
    QTest::newRow("three passes") << "执行->3\n复制->x" << false << ""
                                  << QStringList {"x", "x", "x"}
                                  << QStringList {progress(2), progress(1), hint};
    QTest::newRow("two passes") << "执行->2\n复制->x" << false << "" << QStringList {"x", "x"}
                                << QStringList {progress(1), hint};
    QTest::newRow("one pass") << "执行->1\n复制->x" << false << "" << QStringList {"x"}
                              << QStringList {};
    QTest::newRow("zero") << "执行->0\n复制->x" << false << "" << QStringList {"x"}
                          << QStringList {};
    QTest::newRow("no number") << "执行->abc\n复制->x" << false << "" << QStringList {"x"}
                               << QStringList {};
    QTest::newRow("lines before run once")
        << "复制->a\n执行->2\n复制->b" << false << "" << QStringList {"a", "b", "b"}
        << QStringList {progress(1), hint};
    QTest::newRow("count from 变n")
        << "变1->3\n执行->[变1]\n复制->x" << false << "" << QStringList {"x", "x", "x"}
        << QStringList {progress(2), progress(1), hint};
    QTest::newRow("count from clipboard")
        << "执行->[复制]\n复制->x" << false << "2" << QStringList {"x", "x"}
        << QStringList {progress(1), hint};
    QTest::newRow("later 执行 replaces")
        << "执行->3\n复制->x\n执行->1" << false << "" << QStringList {"x"} << QStringList {};
    QTest::newRow("截止 ends the pass")
        << "执行->2\n复制->a\n截止->0\n复制->b" << false << "" << QStringList {"a", "a"}
        << QStringList {progress(1), hint};
    QTest::newRow("截止 without repetition")
        << "复制->a\n截止->\n复制->b" << false << "" << QStringList {"a"} << QStringList {};
    QTest::newRow("empty list") << "" << false << "" << QStringList {} << QStringList {};
    QTest::newRow("file start: no progress, complete")
        << "执行->2\n复制->x" << true << "" << QStringList {"x", "x"} << QStringList {"complete"};
    QTest::newRow("file start: one pass")
        << "复制->x" << true << "" << QStringList {"x"} << QStringList {"complete"};
    QTest::newRow("file start: empty list")
        << "" << true << "" << QStringList {} << QStringList {"complete"};
}

void TstInterpreter::repetition()
{
    QFETCH(QString, script);
    QFETCH(bool, fileStart);
    QFETCH(QString, clipboard);
    QFETCH(QStringList, writes);
    QFETCH(QStringList, messages);
    ScriptRun run;
    run.fileStartMode = fileStart;
    run.clipboard = clipboard;
    const RunRecord record = run.runScript(script);
    QCOMPARE(record.clipboardWrites, writes);
    QCOMPARE(record.messages, messages);
}

void TstInterpreter::pacingAndSteps_data()
{
    QTest::addColumn<QStringList>("list");
    QTest::addColumn<Ints>("steps");
    QTest::addColumn<Ints>("pauses");

    QTest::newRow("three lines") << QStringList {"复制->a", "复制->b", "复制->c"} << Ints {1, 2, 3}
                                 << Ints {500, 50, 50, 50, 50};
    QTest::newRow("empty list") << QStringList {} << Ints {} << Ints {50};
    QTest::newRow("lines without effect")
        << QStringList {"{", "a->b->c", "}"} << Ints {1, 2, 3} << Ints {500, 50, 50, 50, 50};
    // The else block needs a line after its "{" to be entered; otherwise the run resumes at
    // the "else" itself.
    QTest::newRow("else at the very end") << QStringList {"对比->(串1==x)", "{", "复制->a", "}",
        "else", "{"} << Ints {4, 5, 6} << Ints {500, 50, 50, 50, 50};
    // The pass boundary pauses too, but executes nothing and sends no step.
    QTest::newRow("repetition") << QStringList {"执行->2", "复制->a"} << Ints {1, 2, 2}
                                << Ints {500, 50, 50, 50, 50, 50};
}

void TstInterpreter::pacingAndSteps()
{
    QFETCH(QStringList, list);
    QFETCH(Ints, steps);
    QFETCH(Ints, pauses);
    ScriptRun run;
    const RunRecord record = run.runList(list);
    QCOMPARE(record.steps, steps);
    QCOMPARE(record.pauses, pauses);
}

void TstInterpreter::freshStateEveryRun()
{
    ScriptRun run;
    run.runScript(QStringLiteral("串1->x\n变1->5\n执行->3\n循环1->2\n{\n循环1->2\n}"));
    const RunRecord second
        = run.runScript(QStringLiteral("复制->[串1]\n复制->[变1]\n变2->0>>\n复制->[变2]"));
    QCOMPARE(second.clipboardWrites, (QStringList {"", "", "0"}));
    QCOMPARE(second.messages, QStringList {});
}

void TstInterpreter::jumps_data()
{
    QTest::addColumn<QStringList>("list");
    QTest::addColumn<QStringList>("writes");
    QTest::addColumn<Ints>("steps");
    QTest::addColumn<QStringList>("messages");
    QTest::addColumn<int>("firstLinePauses"); // how often 500 ms were taken

    // Counts 变1 up and jumps back to the first line until it reaches 3.
    const auto backToFirst = [](const QString &jump) {
        return QStringList {"变1->1++", "对比->(变1<3)", "{", jump, "}", "复制->[变1]"};
    };
    const Ints backToFirstSteps {1, 2, 3, 0, 1, 2, 3, 0, 1, 5, 6};

    QTest::newRow("跳到 inside") << QStringList {"复制->a", "跳到->4", "复制->b", "复制->c"}
                                 << QStringList {"a", "c"} << Ints {1, 3, 4} << QStringList {} << 1;
    QTest::newRow("跳到->0 ends") << QStringList {"复制->a", "跳到->0", "复制->b"}
                                  << QStringList {"a"} << Ints {1, 2} << QStringList {} << 1;
    QTest::newRow("跳到 beyond") << QStringList {"复制->a", "跳到->9", "复制->b"}
                                 << QStringList {"a"} << Ints {1, 3} << QStringList {} << 1;
    QTest::newRow("跳到->-1") << QStringList {"复制->a", "跳到->-1", "复制->b"} << QStringList {"a"}
                              << Ints {1, 3} << QStringList {} << 1;
    QTest::newRow("跳到->1") << backToFirst("跳到->1") << QStringList {"3"} << backToFirstSteps
                             << QStringList {} << 3;
    QTest::newRow("跳到 beyond, next pass")
        << QStringList {"执行->2", "复制->a", "跳到->9", "复制->b"} << QStringList {"a", "a"}
        << Ints {1, 2, 4, 2, 4} << QStringList {progress(1), RunRecord::kRunHint} << 1;
    QTest::newRow("跳加->1 is no jump")
        << QStringList {"复制->a", "跳加->1", "复制->b"} << QStringList {"a", "b"} << Ints {1, 2, 3}
        << QStringList {} << 1;
    QTest::newRow("跳加->2") << QStringList {"复制->a", "跳加->2", "复制->b", "复制->c"}
                             << QStringList {"a", "c"} << Ints {1, 3, 4} << QStringList {} << 1;
    QTest::newRow("跳加 to -1 ends") << QStringList {"复制->a", "跳加->-2", "复制->b"}
                                     << QStringList {"a"} << Ints {1, 2} << QStringList {} << 1;
    QTest::newRow("跳加 beyond") << QStringList {"复制->a", "跳加->5", "复制->b"}
                                 << QStringList {"a"} << Ints {1, 3} << QStringList {} << 1;
    QTest::newRow("跳加 below -1") << QStringList {"复制->a", "跳加->-5", "复制->b"}
                                   << QStringList {"a"} << Ints {1, 3} << QStringList {} << 1;
    QTest::newRow("跳加 to index 0")
        << backToFirst("跳加->-3") << QStringList {"3"} << backToFirstSteps << QStringList {} << 3;
    QTest::newRow("跳减->1 runs the line above")
        << QStringList {"跳加->2", "跳到->0", "跳减->1"} << QStringList {} << Ints {2, 1, 2}
        << QStringList {} << 1;
    QTest::newRow("跳减 to index 0")
        << backToFirst("跳减->3") << QStringList {"3"} << backToFirstSteps << QStringList {} << 3;
    QTest::newRow("跳减 to -1 ends, no next pass")
        << QStringList {"执行->2", "跳减->2", "复制->a"} << QStringList {} << Ints {1, 3}
        << QStringList {} << 1;
    QTest::newRow("跳减 beyond") << QStringList {"复制->a", "跳减->5", "复制->b"}
                                 << QStringList {"a"} << Ints {1, 3} << QStringList {} << 1;
}

void TstInterpreter::jumps()
{
    QFETCH(QStringList, list);
    QFETCH(QStringList, writes);
    QFETCH(Ints, steps);
    QFETCH(QStringList, messages);
    QFETCH(int, firstLinePauses);
    ScriptRun run;
    const RunRecord record = run.runList(list);
    QCOMPARE(record.clipboardWrites, writes);
    QCOMPARE(record.steps, steps);
    QCOMPARE(record.messages, messages);
    QCOMPARE(int(record.pauses.count(500)), firstLinePauses);
}

void TstInterpreter::refresh_data()
{
    QTest::addColumn<QStringList>("list");
    QTest::addColumn<QStringList>("refreshed"); // the list the refresh prepares
    QTest::addColumn<QStringList>("writes");
    QTest::addColumn<Ints>("steps");
    QTest::addColumn<Ints>("pauses");

    const QStringList jumpInside {"复制->a", "刷新->4", "复制->b", "复制->c"};
    QTest::newRow("to a line") << jumpInside << jumpInside << QStringList {"a", "c"}
                               << Ints {1, 3, 4} << Ints {500, 50, 200, 50, 50, 50};
    const QStringList toZero {"刷新->0", "复制->a"};
    QTest::newRow("0 ends") << toZero << toZero << QStringList {} << Ints {1}
                            << Ints {500, 200, 50, 50};
    const QStringList beyond {"复制->a", "刷新->7", "复制->b"};
    QTest::newRow("beyond") << beyond << beyond << QStringList {"a"} << Ints {1, 3}
                            << Ints {500, 50, 200, 50, 50};
    QTest::newRow("against the new list")
        << QStringList {"刷新->2", "复制->old"} << QStringList {"复制->x", "复制->y", "复制->z"}
        << QStringList {"y", "z"} << Ints {1, 2, 3} << Ints {500, 200, 50, 50, 50, 50};
    QTest::newRow("to line 1") << QStringList {"刷新->1"} << QStringList {"复制->x"}
                               << QStringList {"x"} << Ints {0, 1}
                               << Ints {500, 200, 50, 500, 50, 50};
}

void TstInterpreter::refresh()
{
    QFETCH(QStringList, list);
    QFETCH(QStringList, refreshed);
    QFETCH(QStringList, writes);
    QFETCH(Ints, steps);
    QFETCH(Ints, pauses);
    ScriptRun run;
    run.onRefresh = [refreshed] { return refreshed; };
    const RunRecord record = run.runList(list);
    QCOMPARE(record.refreshRequests, 1);
    QCOMPARE(record.clipboardWrites, writes);
    QCOMPARE(record.steps, steps);
    QCOMPARE(record.pauses, pauses);
    QCOMPARE(record.messages, QStringList {});
}

void TstInterpreter::lineErrors_data()
{
    QTest::addColumn<QStringList>("list");
    QTest::addColumn<bool>("fileStart");
    QTest::addColumn<QStringList>("messages");
    QTest::addColumn<QStringList>("writes");
    QTest::addColumn<Ints>("steps");
    QTest::addColumn<Ints>("pauses");

    const QString unknownFirst
        = QStringLiteral("<span style=\"color:red;\">第1行有误：foo->1(无该命令类型)</span>");
    QTest::newRow("unknown command, first line")
        << QStringList {"foo->1", "复制->a"} << false << QStringList {unknownFirst}
        << QStringList {} << Ints {} << Ints {500, 50};
    QTest::newRow("unknown command with <")
        << QStringList {"复制->a", "复制->b", "bar-><x>", "复制->c"} << false
        << QStringList {QStringLiteral(
               "<span style=\"color:red;\">第3行有误：bar->&lt;x>(无该命令类型)</span>")}
        << QStringList {"a", "b"} << Ints {1, 2} << Ints {500, 50, 50, 50};
    QTest::newRow("file start: error, then complete")
        << QStringList {"foo->1"} << true << QStringList {unknownFirst, "complete"}
        << QStringList {} << Ints {} << Ints {500, 50};
    QTest::newRow("empty command word")
        << QStringList {"->x"} << false << QStringList {error(1, "->x(无该命令类型)")}
        << QStringList {} << Ints {} << Ints {500, 50};
    QTest::newRow("words compare exactly")
        << QStringList {"复制x->a"} << false << QStringList {error(1, "复制x->a(无该命令类型)")}
        << QStringList {} << Ints {} << Ints {500, 50};
    QTest::newRow("two arrows pass silently")
        << QStringList {"a->b->c", "复制->x"} << false << QStringList {} << QStringList {"x"}
        << Ints {1, 2} << Ints {500, 50, 50, 50};
    QTest::newRow("blanks around the arrow")
        << QStringList {"  复制 -> x  "} << false << QStringList {} << QStringList {"x"} << Ints {1}
        << Ints {500, 50, 50};
}

void TstInterpreter::lineErrors()
{
    QFETCH(QStringList, list);
    QFETCH(bool, fileStart);
    QFETCH(QStringList, messages);
    QFETCH(QStringList, writes);
    QFETCH(Ints, steps);
    QFETCH(Ints, pauses);
    ScriptRun run;
    run.fileStartMode = fileStart;
    const RunRecord record = run.runList(list);
    QCOMPARE(record.messages, messages);
    QCOMPARE(record.clipboardWrites, writes);
    QCOMPARE(record.steps, steps);
    QCOMPARE(record.pauses, pauses);
    QVERIFY(!run.thread.executeFlag);
}

void TstInterpreter::stopFromHook()
{
    // The stop arrives while 刷新 is being carried out: that line finishes, nothing after it
    // runs, and the end steps (pause, "complete") still happen.
    const QStringList list {"复制->a", "刷新->3", "复制->b", "复制->c"};
    ScriptRun run;
    run.fileStartMode = true;
    run.onRefresh = [&] {
        run.thread.executeFlag = false;
        return list;
    };
    const RunRecord record = run.runList(list);
    QCOMPARE(record.clipboardWrites, QStringList {"a"});
    QCOMPARE(record.steps, (Ints {1, 2}));
    QCOMPARE(record.pauses, (Ints {500, 50, 200, 50, 50}));
    QCOMPARE(record.messages, QStringList {"complete"});
}

void TstInterpreter::stopDuringPauseFromAnotherThread()
{
    // Holds the interpreter inside its third pause (500 before line 1, 50 after line 1, 50
    // after line 2) until the test lets it go.
    QSemaphore entered;
    QSemaphore leave;
    ScriptRun run;
    run.onPause = [&](int count) {
        if (count == 3) {
            entered.release();
            leave.acquire();
        }
    };
    run.start({"复制->a", "复制->b", "复制->c", "复制->d"});
    QVERIFY(entered.tryAcquire(1, 10000));
    run.thread.executeFlag = false; // as the stop hotkey does, from the GUI thread
    leave.release();
    QVERIFY(run.thread.wait(10000));
    const RunRecord record = run.finish();
    QCOMPARE(record.clipboardWrites, (QStringList {"a", "b"}));
    QCOMPARE(record.pauses, (Ints {500, 50, 50, 50}));
}

namespace {

// The instruction list and the reports of a run that needs no thread: everything the run
// sends lands in one log, in order.
class ListAndLog : public InstructionSource, public RunOutbox
{
public:
    QStringList list;
    QStringList log;

    int size() const override { return list.size(); }
    QString entryAt(int index) const override { return list.value(index); }
    void showDisposingFile(const QString &text) override { log << "message:" + text; }
    void refreshInstructions() override { log << QStringLiteral("refresh"); }
    void clipboardSetText(const QString &text) override { log << "clipboard:" + text; }
    void stepNum(int index) override { log << QStringLiteral("step:%1").arg(index); }
    void showRunHint() override { log << QStringLiteral("hint"); }
};

} // namespace

void TstInterpreter::runsWithoutAThread_data()
{
    QTest::addColumn<QStringList>("list");
    QTest::addColumn<QStringList>("log");
    QTest::addColumn<Ints>("pauses");

    QTest::newRow("lines and steps")
        << QStringList {"串1->a", "复制->[串1]"} << QStringList {"step:1", "clipboard:a", "step:2"}
        << Ints {500, 50, 50, 50};
    QTest::newRow("an error ends the run at once")
        << QStringList {"复制->x", "foo->1", "复制->y"}
        << QStringList {"clipboard:x", "step:1", "message:" + error(2, "foo->1(无该命令类型)")}
        << Ints {500, 50, 50};
    QTest::newRow("repetition") << QStringList {"执行->2", "复制->a"}
                                << QStringList {"step:1", "clipboard:a", "step:2",
                                       "message:" + progress(1), "clipboard:a", "step:2", "hint"}
                                << Ints {500, 50, 50, 50, 50, 50};
    QTest::newRow("refresh to line 0 ends the run")
        << QStringList {"刷新->0", "复制->a"} << QStringList {"refresh", "step:1"}
        << Ints {500, 200, 50, 50};
}

void TstInterpreter::runsWithoutAThread()
{
    QFETCH(QStringList, list);
    QFETCH(QStringList, log);
    QFETCH(Ints, pauses);
    ListAndLog io;
    io.list = list;
    FakePlatform platform;
    FakeSleeper sleeper;
    std::atomic<bool> executeFlag {true};
    std::atomic<bool> waitFlag {false};
    Interpreter interpreter(
        RunServices {io, io, platform, sleeper, {}, executeFlag, waitFlag, false});
    interpreter.run();
    QCOMPARE(io.log, log);
    QCOMPARE(sleeper.taken(), pauses);
    QVERIFY(!executeFlag);
}

void TstInterpreter::refusesARunWithoutPlatform()
{
#ifndef QT_NO_DEBUG
    QSKIP("a debug build stops at the missing platform");
#else
    // The run must never fall back to the real desktop: nothing runs, not even the pacing.
    FakeSleeper sleeper;
    QInstructionThread thread;
    thread.setSleeper(&sleeper);
    thread.setInstructionList({QStringLiteral("复制->a")});
    QStringList messages;
    QStringList writes;
    QObject context;
    connect(
        &thread, &QInstructionThread::ShowDisposingFile, &context,
        [&](const QString &t) { messages << t; }, Qt::DirectConnection);
    connect(
        &thread, &QInstructionThread::ClipboardSetText, &context,
        [&](const QString &t) { writes << t; }, Qt::DirectConnection);
    thread.executeFlag = true;
    thread.start();
    QVERIFY(thread.wait(10000));
    QCOMPARE(messages.size(), 1);
    QVERIFY(messages.first().startsWith(QStringLiteral("<span style=\"color:red;\">")));
    QCOMPARE(writes, QStringList());
    QCOMPARE(sleeper.taken(), Ints());
    QVERIFY(!thread.executeFlag);
#endif
}

void TstInterpreter::everyKeywordReachesItsRow()
{
    // No row may shadow a later one: a command word written exactly as a row's keyword runs
    // that row's command.
    QSet<QString> keywords;
    for (const CommandRow &row : dispatchTable()) {
        if (row.match != MatchRule::Equals && row.match != MatchRule::BeginsWith)
            continue;
        QVERIFY2(!keywords.contains(row.keyword), qPrintable(row.keyword));
        keywords.insert(row.keyword);
        QVERIFY2(findCommand(row.keyword) == row.command, qPrintable(row.keyword));
    }
    QCOMPARE(keywords.size(), 30);
    QVERIFY(findCommand(QStringLiteral("串7")) == cmdStringVariable);
    QVERIFY(findCommand(QStringLiteral("变7")) == cmdNumberVariable);
    QVERIFY(findCommand(QStringLiteral("循环7")) == cmdLoop);
    QVERIFY(findCommand(QStringLiteral("复制x")) == nullptr);
}

QTEST_GUILESS_MAIN(TstInterpreter)
#include "tst_interpreter.moc"
