// A stop through the window's stop routine cuts the waits of 延时 and 时间 short, with the real
// pacing of a run. Prints the measured time from the stop request to the end of the wait.
#include "testwindow.h"

#include <QClipboard>
#include <QElapsedTimer>
#include <QGuiApplication>
#include <QPushButton>
#include <QtTest>

#include <algorithm>
#include <atomic>

class TstWaitStop : public QObject
{
    Q_OBJECT

private slots:
    void stopEndsWait_data();
    void stopEndsWait();
};

void TstWaitStop::stopEndsWait_data()
{
    QTest::addColumn<QString>("script");
    QTest::addColumn<int>("slice"); // the longest the command may take to notice, in ms
    QTest::addColumn<int>("rounds");

    QTest::newRow("延时->60000") << "延时->60000" << 10 << 10;
    // Written without the leading zero, so it never matches the clock.
    QTest::newRow("时间->8:05") << "时间->8:05" << 1000 << 2;
}

void TstWaitStop::stopEndsWait()
{
    QFETCH(QString, script);
    QFETCH(int, slice);
    QFETCH(int, rounds);

    TestWindow t;
    MainWindow &w = *t.window;
    QInstructionThread &thread = w.instructionThread();
    QElapsedTimer clock;
    clock.start();
    std::atomic<qint64> lineEnded {-1};
    // The step signal comes right after the line that waited.
    connect(
        &thread, &QInstructionThread::Signal_StepNum, this,
        [&](int) { lineEnded = clock.nsecsElapsed(); }, Qt::DirectConnection);

    QList<double> measured;
    for (int round = 0; round < rounds; ++round) {
        QGuiApplication::clipboard()->setText(QStringLiteral("before"));
        lineEnded = -1;
        w.ExecuteInstructions(script + QStringLiteral("\n复制->after"));
        QTRY_VERIFY_WITH_TIMEOUT(thread.waitFlag, 5000);
        QTest::qWait(100); // well inside the wait

        const qint64 stopped = clock.nsecsElapsed();
        w.on_signal_ExecuteInstructionFinish();
        QVERIFY(thread.wait(5000));
        QVERIFY(lineEnded >= 0);
        const double ms = (lineEnded - stopped) / 1e6;
        measured << ms;
        QVERIFY2(ms <= slice + 40, qPrintable(QStringLiteral("%1 ms").arg(ms)));
        // The run ended after the waiting line: the next one never ran.
        QCoreApplication::processEvents();
        QCOMPARE(QGuiApplication::clipboard()->text(), QStringLiteral("before"));
        QTRY_VERIFY(t.child<QPushButton>("pBtn_ExecuteInstruction")->isEnabled());
    }
    std::sort(measured.begin(), measured.end());
    double sum = 0;
    for (double m : qAsConst(measured))
        sum += m;
    qInfo("%s: stop request to end of wait, %d rounds: min %.2f ms, mean %.2f ms, max %.2f ms",
        qPrintable(script), int(measured.size()), measured.first(), sum / measured.size(),
        measured.last());
}

QTEST_MAIN(TstWaitStop)
#include "tst_waitstop.moc"
