// The real main window, built offscreen in a temporary program folder.
#include "app/dialogs.h"
#include "testfiles.h"
#include "app/mainwindow.h"
#include "app/systemtray.h"
#include "fakeplatform.h"
#include "settings/settings.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QLineEdit>
#include <QClipboard>
#include <QComboBox>
#include <QSpinBox>
#include <QTabWidget>
#include <QElapsedTimer>
#include <QGuiApplication>
#include <QLabel>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTextEdit>
#include <QScreen>
#include <QTimer>
#include <QtTest>

#include <memory>

class TestMainWindow : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir dir;
    FakePlatform platform;
    QStringList questions;

    std::unique_ptr<MainWindow> makeWindow(bool fileStart = false, const QString &argument = {},
                                           const QString &folder = {})
    {
        ProcessState process;
        process.programFolder = (folder.isEmpty() ? dir.path() : folder) + QLatin1Char('/');
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

    // A fresh program folder with a settings file and scripts.
    struct Folder
    {
        QTemporaryDir dir;
        explicit Folder(const QByteArray &settingsText, const QMap<QString, QByteArray> &scripts = {})
        {
            writeFile(dir.filePath(QStringLiteral("Quorvel.qcf")), settingsText);
            if (!scripts.isEmpty())
                QDir().mkpath(dir.filePath(QStringLiteral("ZtFiles")));
            for (auto it = scripts.begin(); it != scripts.end(); ++it)
                writeFile(dir.filePath(QStringLiteral("ZtFiles/") + it.key()), it.value());
        }
        QString path() const { return dir.path(); }
        QByteArray settingsFile() const { return readFile(dir.filePath(QStringLiteral("Quorvel.qcf"))); }
    };

private slots:
    void initTestCase()
    {
        // The offscreen platform's default font is larger than a desktop's; use a desktop-like
        // one so the form fits its design size as it does on screen.
        QApplication::setFont(QFont(QStringLiteral("Sans Serif"), 9));
    }

    void init()
    {
        platform.calls.clear();
        dialogs::setResponder([this](const dialogs::Question &q) {
            questions << q.title + QLatin1Char('|') + q.text;
            return QString();
        });
        questions.clear();
    }

    // Real message boxes are wide enough for a window manager to show their titles whole. First:
    // a file-start window's quit() makes every later modal loop of this process return at once.
    void messageBoxesAreWideEnoughForTheirTitles()
    {
        dialogs::setResponder({});
        int width = 0;
        QTimer::singleShot(100, [&width] {
            if (QWidget *box = QApplication::activeModalWidget()) {
                width = box->width();
                box->close();
            }
        });
        dialogs::about(nullptr, QStringLiteral("提示:"), QStringLiteral("保存成功!"));
        QVERIFY2(width >= 320, qPrintable(QString::number(width)));
    }

    void emptySettingsGiveDefaults()
    {
        Folder folder("");
        auto w = makeWindow(false, {}, folder.path());
        QCOMPARE(w->windowTitle(), QStringLiteral("OrbenixQuorvel5.4"));
        QVERIFY(w->isVisible());
        // The design size, made smaller only as far as the screen needs (the test screen is
        // 800 x 600, narrower than the form can be), and the title bar on the screen.
        const QRect area = w->screen()->availableGeometry();
        QVERIFY(area.contains(w->frameGeometry().topLeft()));
        QCOMPARE(w->size(), QSize(1030, 680).boundedTo(area.size() - (w->frameGeometry().size() - w->size())).expandedTo(w->minimumSizeHint()));
        QVERIFY(w->findChild<QCheckBox *>(QStringLiteral("cBox_AutoAddMSleep"))->isChecked());
        QVERIFY(w->findChild<QCheckBox *>(QStringLiteral("cBox_AutoSaveToCsvFile"))->isChecked());
        QVERIFY(!w->findChild<QCheckBox *>(QStringLiteral("cBox_ExecuteAtOnce"))->isChecked());
        QVERIFY(!w->findChild<QCheckBox *>(QStringLiteral("cBox_AutoRun"))->isChecked());
        QVERIFY(!w->findChild<QCheckBox *>(QStringLiteral("cBox_KeyToPerform_1"))->isChecked());
        QCOMPARE(w->findChild<QSpinBox *>(QStringLiteral("sBox_MsecSleep"))->value(), 100);
        QCOMPARE(w->findChild<QTabWidget *>(QStringLiteral("tabWidget"))->currentIndex(), 0);
        QCOMPARE(status(*w)->text(), runHintText());
        QVERIFY(QFileInfo(folder.path() + QStringLiteral("/ZtFiles")).isDir());
        QVERIFY(QFileInfo(folder.path() + QStringLiteral("/BmpLibrary")).isDir());
        QVERIFY(w->systemTray());
        QCOMPARE(w->systemTray()->toolTip(), QStringLiteral("OrbenixQuorvel"));
    }

    void settingsApplyAtStartUp()
    {
        Folder folder("SoftPositionX=  40 \r\nSoftPositionY=30\r\nSoftWidth=1100\r\nSoftHeight=600\r\n"
                      "OEMVersion=Acme\r\nautoRun=y\r\nztFileRun=yes\r\nMsecSleep=250ms\r\n"
                      "AutoAddMSleep=n\r\nCtrl_3=y\r\nCtrl_0=yes\r\nCtrlPath_3=/tmp/a.zt\r\n"
                      "CsvFilePath=/tmp/t.csv\r\nAutoSaveToCsvFile=no\r\nCsvContentAutoCopy=y\r\n"
                      "connectAdslName=dsl\r\n",
                      {{QStringLiteral("Quorvel.zt"), QByteArray("复制->default\r\n")},
                       {QStringLiteral("beta.ZT"), QByteArray()},
                       {QStringLiteral("Alpha.zt"), QByteArray()},
                       {QStringLiteral("notes.txt"), QByteArray()}});
        auto w = makeWindow(false, {}, folder.path());
        QCOMPARE(w->pos(), QPoint(40, 30));
        QCOMPARE(w->size(), QSize(1100, 600));
        QCOMPARE(w->windowTitle(), QStringLiteral("Acme5.4"));
        QCOMPARE(w->systemTray()->toolTip(), QStringLiteral("Acme"));
        QVERIFY(w->findChild<QCheckBox *>(QStringLiteral("cBox_AutoRun"))->isChecked());
        // Read exactly: "yes" is not "y".
        QVERIFY(!w->findChild<QCheckBox *>(QStringLiteral("cBox_ZtFileRun"))->isChecked());
        QCOMPARE(w->findChild<QSpinBox *>(QStringLiteral("sBox_MsecSleep"))->value(), 250);
        QVERIFY(!w->findChild<QCheckBox *>(QStringLiteral("cBox_AutoAddMSleep"))->isChecked());
        QVERIFY(w->findChild<QCheckBox *>(QStringLiteral("cBox_KeyToPerform_3"))->isChecked());
        QVERIFY(w->findChild<QCheckBox *>(QStringLiteral("cBox_KeyToPerform_0"))->isChecked());
        QVERIFY(!w->findChild<QCheckBox *>(QStringLiteral("cBox_KeyToPerform_1"))->isChecked());
        QCOMPARE(w->findChild<QLineEdit *>(QStringLiteral("lEdt_KeyToPerform_3"))->text(), QStringLiteral("/tmp/a.zt"));
        QCOMPARE(w->findChild<QLineEdit *>(QStringLiteral("lEdt_CsvFilePath"))->text(), QStringLiteral("/tmp/t.csv"));
        QVERIFY(!w->findChild<QCheckBox *>(QStringLiteral("cBox_AutoSaveToCsvFile"))->isChecked());
        QVERIFY(w->findChild<QCheckBox *>(QStringLiteral("cBox_CsvContentAutoCopy"))->isChecked());
        QCOMPARE(w->findChild<QLineEdit *>(QStringLiteral("lEdt_ConnectAdslName"))->text(), QStringLiteral("dsl"));

        const QComboBox *list = w->findChild<QComboBox *>(QStringLiteral("cmBox_LoadInstruction"));
        QStringList names;
        for (int i = 0; i < list->count(); ++i)
            names << list->itemText(i);
        QCOMPARE(names, (QStringList{QStringLiteral("Quorvel"), QStringLiteral("Alpha"), QStringLiteral("beta")}));
        QCOMPARE(editor(*w)->toPlainText(), QStringLiteral("复制->default\n"));
        // Nothing ran: executeAtOnce is off.
        QVERIFY(runButton(*w)->isEnabled());
    }

    void autorunStartStaysHidden()
    {
        Folder folder("");
        auto w = makeWindow(false, QStringLiteral("-autorun"), folder.path());
        QVERIFY(!w->isVisible());
        QVERIFY(w->systemTray());
    }

    void executeAtOnceRunsTheDefaultScript()
    {
        Folder folder("executeAtOnce=y\r\n", {{QStringLiteral("Quorvel.zt"), QByteArray("复制->ran at once")}});
        auto w = makeWindow(false, {}, folder.path());
        QVERIFY(w->findChild<QCheckBox *>(QStringLiteral("cBox_ExecuteAtOnce"))->isChecked());
        QVERIFY(!runButton(*w)->isEnabled());
        QTRY_COMPARE_WITH_TIMEOUT(clipboardText(), QStringLiteral("ran at once"), 5000);
    }

    void fileStartModeHasNoTrayAndLeavesTheWindowAlone()
    {
        Folder folder("executeAtOnce=y\r\nOEMVersion=Acme\r\n");
        const QString script = folder.path() + QStringLiteral("/run.zt");
        writeFile(script, "串1->x");
        auto w = makeWindow(true, script, folder.path());
        QVERIFY(!w->systemTray());
        QVERIFY(!w->isVisible());
        QCOMPARE(runButton(*w)->text(), QStringLiteral("执行指令(Ctrl+E)"));
        QVERIFY(w->instructionThread().isRunning() || w->instructionThread().isFinished());
        QVERIFY(!QFileInfo::exists(folder.path() + QStringLiteral("/ZtFiles")));
    }

    void runButtonSavesTheDefaultScriptAndResellerTitle()
    {
        Folder folder("A=1\r\n");
        auto w = makeWindow(false, {}, folder.path());
        editor(*w)->setPlainText(QStringLiteral("  OEMbyOrbenix->  Acme Tools \n"));
        QTest::mouseClick(runButton(*w), Qt::LeftButton);
        QCOMPARE(w->windowTitle(), QStringLiteral("Acme Tools5.4"));
        QCOMPARE(w->systemTray()->toolTip(), QStringLiteral("Acme Tools"));
        QCOMPARE(settings::ReadSetting(folder.settingsFile(), "OEMVersion"), QByteArray("Acme Tools"));
        QCOMPARE(readFile(folder.path() + QStringLiteral("/ZtFiles/Quorvel.zt")),
                 QByteArray("OEMbyOrbenix->  Acme Tools"));
        QTRY_VERIFY_WITH_TIMEOUT(runButton(*w)->isEnabled(), 5000);

        // The title survives a restart; an empty name restores the standard one.
        w.reset();
        w = makeWindow(false, {}, folder.path());
        QCOMPARE(w->windowTitle(), QStringLiteral("Acme Tools5.4"));
        editor(*w)->setPlainText(QStringLiteral("OEMbyOrbenix->\n第二行->x"));
        editor(*w)->setPlainText(QStringLiteral("OEMbyOrbenix->"));
        QTest::mouseClick(runButton(*w), Qt::LeftButton);
        QCOMPARE(w->windowTitle(), QStringLiteral("OrbenixQuorvel5.4"));
        QCOMPARE(w->systemTray()->toolTip(), QStringLiteral("OrbenixQuorvel"));
        QCOMPARE(settings::ReadSetting(folder.settingsFile(), "OEMVersion"), QByteArray());
        QTRY_VERIFY_WITH_TIMEOUT(runButton(*w)->isEnabled(), 5000);

        // Multi-line text is written with CR LF.
        editor(*w)->setPlainText(QStringLiteral("串1->a\n串1->b"));
        QTest::mouseClick(runButton(*w), Qt::LeftButton);
        QCOMPARE(readFile(folder.path() + QStringLiteral("/ZtFiles/Quorvel.zt")), QByteArray("串1->a\r\n串1->b"));
        QTRY_VERIFY_WITH_TIMEOUT(runButton(*w)->isEnabled(), 5000);
    }

    void trayIconFollowsTheSteps_data()
    {
        QTest::addColumn<int>("step");
        QTest::addColumn<QString>("icon");
        QTest::newRow("1") << 1 << QStringLiteral(":/images/Quorvel_3.ico");
        QTest::newRow("2") << 2 << QStringLiteral(":/images/Quorvel_4.ico");
        QTest::newRow("3") << 3 << QStringLiteral(":/images/Quorvel_5.ico");
        QTest::newRow("4") << 4 << QStringLiteral(":/images/Quorvel_6.ico");
        QTest::newRow("5") << 5 << QStringLiteral(":/images/Quorvel_3.ico");
    }

    void trayIconFollowsTheSteps()
    {
        QFETCH(int, step);
        QFETCH(QString, icon);
        QCOMPARE(runningTrayIconPath(step), icon);
        QVERIFY(!QIcon(icon).isNull());
        QVERIFY(!QIcon(idleTrayIconPath()).isNull());
    }

    void closeHidesAndTheTrayBringsItBack()
    {
        Folder folder("");
        auto w = makeWindow(false, {}, folder.path());
        const QSize firstSize = w->size();
        w->resize(1200, 700);
        QVERIFY(!w->close()); // the close event is ignored
        QVERIFY(!w->isVisible());
        // No saved geometry: the size of the first start comes back, the position stays.
        w->SystemTrayActivated(QSystemTrayIcon::Context);
        QVERIFY(!w->isVisible());
        w->SystemTrayActivated(QSystemTrayIcon::Trigger);
        QVERIFY(w->isVisible());
        QCOMPARE(w->size(), firstSize);

        // Saved geometry is written to the settings and used from then on.
        w->move(20, 25);
        w->resize(1100, 600);
        w->findChild<QPushButton *>(QStringLiteral("pBtn_FixedSoftPosition"))->click();
        QCOMPARE(questions, QStringList{QStringLiteral("Message:|软件窗口大小和位置数据已保存!")});
        const QByteArray saved = folder.settingsFile();
        QVERIFY2(saved.startsWith("SoftPositionY="), saved.constData()); // new keys go in front
        QCOMPARE(settings::ReadSetting(saved, "SoftWidth"), QByteArray("1100"));
        QCOMPARE(settings::ReadSetting(saved, "SoftHeight"), QByteArray("600"));
        w->close();
        w->resize(300, 300);
        w->systemTray()->showAction()->trigger();
        QVERIFY(w->isVisible());
        QCOMPARE(w->size(), QSize(1100, 600));
    }

    void executeAtOnceBoxWritesItsSetting()
    {
        Folder folder("");
        auto w = makeWindow(false, {}, folder.path());
        QCheckBox *box = w->findChild<QCheckBox *>(QStringLiteral("cBox_ExecuteAtOnce"));
        box->click();
        QCOMPARE(settings::ReadSetting(folder.settingsFile(), "executeAtOnce"), QByteArray("y"));
        box->click();
        QCOMPARE(settings::ReadSetting(folder.settingsFile(), "executeAtOnce"), QByteArray("n"));
    }

    void helpFileNextToTheSettings()
    {
        QCOMPARE(helpFilePath(QStringLiteral("/opt/q/Quorvel.qcf")), QStringLiteral("/opt/q/QuorvelExplain.txt"));
        QCOMPARE(helpFilePath(QStringLiteral("/a.qcf/Quorvel.qcf")), QStringLiteral("/a.qcf/QuorvelExplain.txt"));
    }

    // A script too large to load is never written over: not by a run (the default script), not
    // by Ctrl+S (a loaded one); the status line says why.
    void scriptsTooLargeToLoadStayIntact()
    {
        Folder folder("", {{QStringLiteral("Quorvel.zt"), QByteArray("复制->big")},
                              {QStringLiteral("big.zt"), QByteArray("复制->big")}});
        const qint64 size = 18 * 1024 * 1024;
        for (const char *name : {"/ZtFiles/Quorvel.zt", "/ZtFiles/big.zt"})
            QVERIFY(QFile::resize(folder.path() + QLatin1String(name), size)); // sparse
        auto w = makeWindow(false, {}, folder.path());
        QVERIFY(editor(*w)->toPlainText().isEmpty());
        QVERIFY2(status(*w)->text().contains(QStringLiteral("Quorvel.zt 大于16MB")), qPrintable(status(*w)->text()));

        editor(*w)->setPlainText(QStringLiteral("复制->small"));
        runButton(*w)->click();
        QTRY_VERIFY_WITH_TIMEOUT(runButton(*w)->isEnabled(), 5000);
        QVERIFY(status(*w)->text().contains(QStringLiteral("不会被覆盖")));

        auto *list = w->findChild<QComboBox *>(QStringLiteral("cmBox_LoadInstruction"));
        QMetaObject::invokeMethod(list, "activated", Q_ARG(QString, QStringLiteral("big")));
        QCOMPARE(questions, QStringList {QStringLiteral("提示:|文件过大!")});
        w->SaveZtFile();
        QVERIFY(status(*w)->text().contains(QStringLiteral("big.zt 大于16MB")));

        for (const char *name : {"/ZtFiles/Quorvel.zt", "/ZtFiles/big.zt"}) {
            QFile file(folder.path() + QLatin1String(name));
            QCOMPARE(file.size(), size);
            QVERIFY(file.open(QIODevice::ReadOnly));
            QCOMPARE(file.read(10), QByteArray("复制->big").left(10));
        }
    }

    void fileStartOfATooLargeScriptSaysSo()
    {
        Folder folder("");
        const QString script = folder.path() + QStringLiteral("/huge.zt");
        writeFile(script, "复制->never");
        QVERIFY(QFile::resize(script, 17 * 1024 * 1024));
        auto w = makeWindow(true, script, folder.path());
        QTRY_COMPARE_WITH_TIMEOUT(questions.size(), 1, 5000);
        QVERIFY2(questions.at(0).startsWith(QStringLiteral("注意：|文件过大!")), qPrintable(questions.at(0)));
        QVERIFY(questions.at(0).contains(QStringLiteral("huge.zt")));
        QVERIFY(!w->instructionThread().isRunning());
    }

    // An existing settings file that cannot be written is said once in the status line; a
    // missing one saves nothing by design and says nothing.
    void unsavableSettingsAreSaidOnce_data()
    {
        QTest::addColumn<bool>("settingsExist");
        QTest::newRow("settings file cannot be written") << true;
        QTest::newRow("no settings file") << false;
    }

    void unsavableSettingsAreSaidOnce()
    {
        QFETCH(bool, settingsExist);
        QTemporaryDir folder;
        if (settingsExist) // a folder in the file's place: no one can write it, root neither
            QVERIFY(QDir().mkpath(folder.filePath(QStringLiteral("Quorvel.qcf"))));
        auto w = makeWindow(false, {}, folder.path());
        auto *box = w->findChild<QCheckBox *>(QStringLiteral("cBox_ExecuteAtOnce"));
        box->click();
        if (settingsExist)
            QVERIFY2(status(*w)->text().contains(QStringLiteral("设置无法保存")), qPrintable(status(*w)->text()));
        else
            QCOMPARE(status(*w)->text(), runHintText());
        status(*w)->setText(QStringLiteral("later"));
        box->click();
        QCOMPARE(status(*w)->text(), QStringLiteral("later"));
    }

    void helpButtonSaysWhenNoViewerOpensTheFile_data()
    {
        QTest::addColumn<bool>("viewerMissing");
        QTest::newRow("viewer opens it") << false;
        QTest::newRow("no viewer") << true;
    }

    void helpButtonSaysWhenNoViewerOpensTheFile()
    {
        QFETCH(bool, viewerMissing);
        Folder folder("");
        auto w = makeWindow(false, {}, folder.path());
        platform.textViewerMissing = viewerMissing;
        w->findChild<QPushButton *>(QStringLiteral("pBtn_ExplainTxt"))->click();
        platform.textViewerMissing = false;
        const QString help = QDir::toNativeSeparators(folder.path() + QStringLiteral("/QuorvelExplain.txt"));
        QVERIFY(platform.calls.contains(QStringLiteral("openText:") + help));
        if (viewerMissing)
            QCOMPARE(questions, QStringList {QStringLiteral("提示:|无法打开使用说明,请用文本编辑器打开:\n") + help});
        else
            QVERIFY(questions.isEmpty());
    }

    // The status line keeps its height whatever it says, so the editor below never moves.
    void statusLineHoldsStill()
    {
        auto w = makeWindow();
        QApplication::processEvents();
        const QRect editorAt = editor(*w)->geometry();
        QVERIFY(status(*w)->heightForWidth(status(*w)->width()) <= status(*w)->height());
        for (const QString &text : {QString(), QStringLiteral("短"), runHintText(),
                 QStringLiteral("<span style=\" color:#ff0000;\">第12行: 鼠标->12,x 指令格式错误!</span>")}) {
            status(*w)->setText(text);
            QApplication::processEvents();
            QCOMPARE(editor(*w)->geometry(), editorAt);
        }
    }

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
