// The real main window, built offscreen in a temporary program folder.
#include "app/mainwindow.h"
#include "fakeplatform.h"

#include <QClipboard>
#include <QElapsedTimer>
#include <QGuiApplication>
#include <QLabel>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTextEdit>
#include <QtTest>

#include <memory>

class TestMainWindow : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir dir;
    FakePlatform platform;

    std::unique_ptr<MainWindow> makeWindow(bool fileStart = false, const QString &argument = {})
    {
        ProcessState process;
        process.programFolder = dir.path() + QLatin1Char('/');
        process.settingsPath = process.programFolder + QStringLiteral("Quorvel.qcf");
        process.fileStartMode = fileStart;
        process.argument = argument;
        return std::make_unique<MainWindow>(process, platform);
    }

    static QPushButton *runButton(MainWindow &w)
    {
        return w.findChild<QPushButton *>(QStringLiteral("pBtn_ExecuteInstruction"));
    }
    static QTextEdit *editor(MainWindow &w) { return w.findChild<QTextEdit *>(QStringLiteral("tEdt_ExecuteText")); }
    static QLabel *status(MainWindow &w) { return w.findChild<QLabel *>(QStringLiteral("lb_ShowDisposingFile")); }
    static QString clipboardText() { return QGuiApplication::clipboard()->text(); }

private slots:
    void runButtonTwoStates()
    {
        auto w = makeWindow();
        QPushButton *button = runButton(*w);
        QCOMPARE(button->text(), QStringLiteral("执行指令(Ctrl+E)"));
        QVERIFY(button->isEnabled());

        editor(*w)->setPlainText(QStringLiteral("  复制->state one  \n"));
        status(*w)->clear();
        QTest::mouseClick(button, Qt::LeftButton);
        QCOMPARE(button->text(), QStringLiteral("停止执行(Ctrl+Q)"));
        QVERIFY(!button->isEnabled());
        QCOMPARE(status(*w)->text(), runHintText());
        // A disabled button ignores a second click.
        QTest::mouseClick(button, Qt::LeftButton);

        QTRY_VERIFY_WITH_TIMEOUT(button->isEnabled(), 5000);
        QCOMPARE(button->text(), QStringLiteral("执行指令(Ctrl+E)"));
        QCOMPARE(clipboardText(), QStringLiteral("state one"));
    }

    void interpreterReadsTheClipboardOnTheGuiThread()
    {
        auto w = makeWindow();
        QGuiApplication::clipboard()->setText(QStringLiteral("ready"));
        w->ExecuteInstructions(QStringLiteral("已复制->ready\n{\n复制->seen\n}\nelse\n{\n复制->missed\n}"));
        QTRY_COMPARE_WITH_TIMEOUT(clipboardText(), QStringLiteral("seen"), 5000);
    }

    void errorLineGoesToTheStatusLine()
    {
        auto w = makeWindow();
        w->ExecuteInstructions(QStringLiteral("foo-><b>"));
        QTRY_VERIFY_WITH_TIMEOUT(runButton(*w)->isEnabled(), 5000);
        QCOMPARE(status(*w)->text(),
                 QStringLiteral("<span style=\"color:red;\">第1行有误：foo->&lt;b>(无该命令类型)</span>"));
    }

    void requestDuringAnActiveRunIsRefused()
    {
        auto w = makeWindow();
        QGuiApplication::clipboard()->setText(QStringLiteral("before"));
        w->ExecuteInstructions(QStringLiteral("串1->x\n串1->y\n复制->first"));
        w->ExecuteInstructions(QStringLiteral("复制->second"));
        QTRY_VERIFY_WITH_TIMEOUT(runButton(*w)->isEnabled(), 5000);
        QTest::qWait(200);
        QCOMPARE(clipboardText(), QStringLiteral("first"));
    }

    void requestWhileStoppingRunsAfterwardsLatestWins()
    {
        auto w = makeWindow();
        QInstructionThread &thread = w->instructionThread();
        w->ExecuteInstructions(QStringLiteral("循环1->1000\n{\n串1->x\n循环1->1000\n}\n复制->never"));
        QTRY_VERIFY_WITH_TIMEOUT(thread.isRunning(), 2000);
        // Ctrl+Q: the button comes back at once while the last line still finishes.
        w->on_signal_ExecuteInstructionFinish();
        QVERIFY(runButton(*w)->isEnabled());
        w->ExecuteInstructions(QStringLiteral("复制->older request"));
        w->ExecuteInstructions(QStringLiteral("复制->latest request"));
        QTRY_COMPARE_WITH_TIMEOUT(clipboardText(), QStringLiteral("latest request"), 5000);
        QTRY_VERIFY_WITH_TIMEOUT(!thread.isRunning(), 5000);
        QTest::qWait(100);
        QCOMPARE(clipboardText(), QStringLiteral("latest request"));
    }

    void refreshPreparesTheEditorTextAgain()
    {
        auto w = makeWindow();
        // Inside a block comment the line is skipped by the first preparation only.
        editor(*w)->setPlainText(
            QStringLiteral("复制->first pass\n/*\n复制->after refresh\n跳到->0\n*/\n刷新->2"));
        QTest::mouseClick(runButton(*w), Qt::LeftButton);
        QTRY_VERIFY_WITH_TIMEOUT(runButton(*w)->isEnabled(), 5000);
        QCOMPARE(clipboardText(), QStringLiteral("after refresh"));
    }

    void destroyingTheWindowStopsARunWithoutHanging()
    {
        auto w = makeWindow();
        QGuiApplication::clipboard()->setText(QStringLiteral("x"));
        w->ExecuteInstructions(QStringLiteral("循环1->100000\n{\n已复制->x\n循环1->100000\n}"));
        QTRY_VERIFY_WITH_TIMEOUT(w->instructionThread().isRunning(), 2000);
        QTest::qWait(700);
        QElapsedTimer timer;
        timer.start();
        w.reset();
        QVERIFY2(timer.elapsed() < 1000, qPrintable(QString::number(timer.elapsed())));
    }

    void emptyScriptEndsAtOnce()
    {
        auto w = makeWindow();
        w->ExecuteInstructions(QString());
        QVERIFY(!runButton(*w)->isEnabled());
        QTRY_VERIFY_WITH_TIMEOUT(runButton(*w)->isEnabled(), 2000);
    }
};

QTEST_MAIN(TestMainWindow)
#include "tst_mainwindow.moc"
