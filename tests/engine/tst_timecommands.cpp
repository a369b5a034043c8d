// 延时, 时间 and 日期 through the real interpreter, with the pauses logged instead of slept.
#include "scriptrun.h"

#include <QtTest>

class TstTimeCommands : public QObject
{
    Q_OBJECT

private slots:
    void delay_data();
    void delay();
    void stopEndsWait_data();
    void stopEndsWait();
    void waitForTimeArguments_data();
    void waitForTimeArguments();
    void currentMinuteDoesNotWait();
    void date_data();
    void date();
    void dateTimeOfDay();
};

namespace {

// Stops the run (as the window's stop routine does) once that many pauses were taken; the
// first pause of a run is its own 500 ms before the first line.
void stopAfterPauses(ScriptRun &run, int pauses)
{
    run.onPause = [&run, pauses](int count) {
        if (count == pauses) {
            run.thread.executeFlag = false;
            run.thread.waitFlag = false;
        }
    };
}

} // namespace

void TstTimeCommands::delay_data()
{
    QTest::addColumn<QString>("script");
    QTest::addColumn<QStringList>("calls"); // of the last line
    QTest::addColumn<QString>("error");

    const QStringList none;
    QTest::newRow("0 ends at once") << "延时->0" << none << "";
    QTest::newRow("1 sleeps one slice") << "延时->1" << QStringList {"pause:10"} << "";
    QTest::newRow("15 sleeps two slices") << "延时->15" << QStringList {"pause:20"} << "";
    QTest::newRow("whole slices") << "延时->1000" << QStringList {"pause:1000"} << "";
    QTest::newRow("not a number") << "延时->abc" << none << "";
    QTest::newRow("negative") << "延时->-5" << none << "1:延时->-5";
    QTest::newRow("from [变n]") << "变3->30\n延时->[变3]" << QStringList {"pause:30"} << "";
    QTest::newRow("from [串n]") << "串3->2\n串3->0\n延时->[串3]" << QStringList {"pause:20"} << "";
    QTest::newRow("from [复制]") << "复制->40\n延时->[复制]" << QStringList {"pause:40"} << "";
    QTest::newRow("[变0]") << "延时->[变0]" << none << "1:延时->[变0]";
}

void TstTimeCommands::delay()
{
    QFETCH(QString, script);
    QFETCH(QStringList, calls);
    QFETCH(QString, error);

    ScriptRun run;
    const RunRecord record = run.runScript(script);
    QCOMPARE(record.lines().constLast(), calls);
    QCOMPARE(record.lastError(), error);
}

void TstTimeCommands::stopEndsWait_data()
{
    QTest::addColumn<QString>("script");
    QTest::addColumn<int>("stopAt"); // pause count at which the stop comes
    QTest::addColumn<QStringList>("calls"); // of the waiting line

    // After two 10 ms slices of a one-minute delay.
    QTest::newRow("delay") << "延时->60000" << 3 << QStringList {"pause:20"};
    // A stop during the run's first pause, before the wait set its flag: no wait at all.
    QTest::newRow("delay, stop before it began") << "延时->60000" << 1 << QStringList {};
    // Written without the leading zero: accepted, but never matches the clock.
    QTest::newRow("time that never matches") << "时间->8:05" << 4 << QStringList {"pause:3000"};
    QTest::newRow("time, stop before it began") << "时间->8:05" << 1 << QStringList {};
}

void TstTimeCommands::stopEndsWait()
{
    QFETCH(QString, script);
    QFETCH(int, stopAt);
    QFETCH(QStringList, calls);

    ScriptRun run;
    stopAfterPauses(run, stopAt);
    const RunRecord record = run.runScript(script + QStringLiteral("\n复制->after"));
    QCOMPARE(record.lines().size(), 1); // the run ends after the waiting line
    QCOMPARE(record.firstLine(), calls);
    QVERIFY(record.clipboardWrites.isEmpty());
}

void TstTimeCommands::waitForTimeArguments_data()
{
    QTest::addColumn<QString>("script");
    QTest::addColumn<QString>("error");

    QTest::newRow("hour 24") << "时间->24:00"
                             << "1:时间->24:00";
    QTest::newRow("minute 60") << "时间->12:60"
                               << "1:时间->12:60";
    QTest::newRow("negative hour") << "时间->-1:30"
                                   << "1:时间->-1:30";
    QTest::newRow("full-width colon, out of range") << "时间->12：61"
                                                    << "1:时间->12：61";
    QTest::newRow("[串0]") << "时间->[串0]"
                           << "1:时间->[串0]";
    // Without exactly one colon the line does nothing and the run goes on.
    QTest::newRow("no colon") << "时间->1230"
                              << "";
    QTest::newRow("two colons") << "时间->12:30:00"
                                << "";
    QTest::newRow("empty") << "时间->"
                           << "";
}

void TstTimeCommands::waitForTimeArguments()
{
    QFETCH(QString, script);
    QFETCH(QString, error);

    ScriptRun run;
    stopAfterPauses(run, 3); // a wait that began would end here, recognisably
    const RunRecord record = run.runScript(script + QStringLiteral("\n复制->next"));
    QCOMPARE(record.firstLine(), QStringList());
    QCOMPARE(record.lastError(), error);
    QCOMPARE(record.clipboardWrites, error.isEmpty() ? QStringList {"next"} : QStringList());
}

void TstTimeCommands::currentMinuteDoesNotWait()
{
    // The first comparison is at once; retried if the minute turns over during the run.
    for (int attempt = 0; attempt < 3; ++attempt) {
        const QTime now = QTime::currentTime();
        ScriptRun run;
        stopAfterPauses(run, 3);
        const RunRecord record = run.runScript(QStringLiteral("时间->%1：%2\n复制->next")
                                                   .arg(now.hour(), 2, 10, QLatin1Char('0'))
                                                   .arg(now.minute(), 2, 10, QLatin1Char('0')));
        if (QTime::currentTime().minute() != now.minute())
            continue;
        QCOMPARE(record.firstLine(), QStringList());
        QCOMPARE(record.clipboardWrites, QStringList {"next"});
        return;
    }
    QFAIL("the minute kept turning over");
}

void TstTimeCommands::date_data()
{
    QTest::addColumn<QString>("argument");
    QTest::addColumn<QString>("expected"); // with {date}, {day}, {dayName}, {month}, {year}

    QTest::newRow("date") << "yyyy-MM-dd"
                          << "{date}";
    QTest::newRow("ddd before dd") << "dd ddd"
                                   << "{day} {dayName}";
    QTest::newRow("day name alone") << "ddd"
                                    << "{dayName}";
    QTest::newRow("Chinese frame") << "yyyy年MM月dd日"
                                   << "{year}年{month}月{day}日";
    QTest::newRow("every occurrence") << "MM/MM"
                                      << "{month}/{month}";
    QTest::newRow("single letters stay") << "y M d h m s yy"
                                         << "y M d h m s yy";
    QTest::newRow("no source rule") << "[串1]"
                                    << "[串1]";
    QTest::newRow("empty clears") << ""
                                  << "";
}

void TstTimeCommands::date()
{
    QFETCH(QString, argument);
    QFETCH(QString, expected);

    for (int attempt = 0; attempt < 3; ++attempt) {
        const QDate today = QDate::currentDate();
        ScriptRun run;
        const RunRecord record = run.runScript(QStringLiteral("日期->") + argument);
        if (QDate::currentDate() != today)
            continue;
        const QLocale locale = QLocale::system();
        QString want = expected;
        want.replace(QLatin1String("{date}"), today.toString(Qt::ISODate))
            .replace(
                QLatin1String("{dayName}"), locale.dayName(today.dayOfWeek(), QLocale::ShortFormat))
            .replace(QLatin1String("{day}"),
                QStringLiteral("%1").arg(today.day(), 2, 10, QLatin1Char('0')))
            .replace(QLatin1String("{month}"),
                QStringLiteral("%1").arg(today.month(), 2, 10, QLatin1Char('0')))
            .replace(QLatin1String("{year}"), QString::number(today.year()));
        QCOMPARE(record.clipboardWrites, QStringList {want});
        return;
    }
    QFAIL("the date kept turning over");
}

void TstTimeCommands::dateTimeOfDay()
{
    const QDateTime before = QDateTime::currentDateTime();
    ScriptRun run;
    const RunRecord record = run.runScript(QStringLiteral("日期->hh:mm:ss"));
    const QDateTime after = QDateTime::currentDateTime();
    QCOMPARE(record.clipboardWrites.size(), 1);
    const QTime written
        = QTime::fromString(record.clipboardWrites.first(), QStringLiteral("hh:mm:ss"));
    QVERIFY2(written.isValid(), qPrintable(record.clipboardWrites.first()));
    // Whole seconds between the two readings (a day's turn gives up the check).
    if (before.date() == after.date()) {
        QVERIFY(written >= before.time().addMSecs(-before.time().msec()));
        QVERIFY(written <= after.time());
    }
}

QTEST_GUILESS_MAIN(TstTimeCommands)
#include "tst_timecommands.moc"
