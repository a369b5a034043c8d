// A run held in a `cmd` whose command never returns: stopping the run and closing the
// program both get out of it, and quickly.
#include "testwindow.h"

#include <QClipboard>
#include <QPushButton>
#include <QtTest>

class TestQuitDuringCmd : public QObject
{
    Q_OBJECT

private slots:
    void stopEndsTheRun();
    void destructionDoesNotHang();
};

void TestQuitDuringCmd::stopEndsTheRun()
{
    TestWindow w;
    w.platform.commandsNeverReturn = true;
    w.window->ExecuteInstructions(QStringLiteral("cmd->never\n复制->after"));
    QTRY_VERIFY_WITH_TIMEOUT(w.platform.commandsWaiting.loadAcquire() == 1, 5000);
    auto *button = w.child<QPushButton>("pBtn_ExecuteInstruction");
    QVERIFY(!button->isEnabled());

    // The stop request: both flags cleared.
    QInstructionThread &thread = w.window->instructionThread();
    thread.executeFlag = false;
    thread.waitFlag = false;
    QTRY_VERIFY_WITH_TIMEOUT(button->isEnabled(), 2000);
    QVERIFY(!thread.isRunning());
    QCOMPARE(w.platform.calls.filter(QStringLiteral("cmd:")), QStringList {"cmd:never"});
    QVERIFY(!QGuiApplication::clipboard()->text().contains(QStringLiteral("after")));
}

void TestQuitDuringCmd::destructionDoesNotHang()
{
    TestWindow w;
    w.platform.commandsNeverReturn = true;
    w.window->ExecuteInstructions(QStringLiteral("cmd->never"));
    QTRY_VERIFY_WITH_TIMEOUT(w.platform.commandsWaiting.loadAcquire() == 1, 5000);

    QElapsedTimer timer;
    timer.start();
    w.window.reset(); // what quitting does
    QVERIFY2(timer.elapsed() < 2000, qPrintable(QString::number(timer.elapsed())));
}

QTEST_MAIN(TestQuitDuringCmd)
#include "tst_quitduringcmd.moc"
