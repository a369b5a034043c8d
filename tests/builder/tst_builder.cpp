// The instruction-builder panel: what every button writes into the editor, with automatic
// delays on and off, and the settings it keeps.
#include "builder/buildertext.h"
#include "settings/settings.h"
#include "testwindow.h"

#include <QCheckBox>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QtTest>

namespace {

// "widget=value" pairs: line edits get the text, spin boxes the number.
void fill(const TestWindow &w, const QStringList &fields)
{
    for (const QString &field : fields) {
        const QString name = field.section(QLatin1Char('='), 0, 0);
        const QString value = field.section(QLatin1Char('='), 1);
        if (auto *edit = w.window->findChild<QLineEdit *>(name))
            edit->setText(value);
        else if (auto *spin = w.window->findChild<QSpinBox *>(name))
            spin->setValue(value.toInt());
        else
            QFAIL(qPrintable(name));
    }
}

} // namespace

class TestBuilder : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { QApplication::setFont(QFont(QStringLiteral("Sans Serif"), 9)); }

    void buttons_data()
    {
        QTest::addColumn<QString>("button");
        QTest::addColumn<QStringList>("fields");
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("autoDelay");
        const QStringList none;
        const auto row = [](const char *button, const QStringList &fields, const QString &text,
                             bool autoDelay) {
            QTest::newRow(button) << QString::fromLatin1(button) << fields << text << autoDelay;
        };
        row("pBtn_MouseLeftDoubleClick", none, QStringLiteral("鼠标->左键双击\n延时->100\n"),
            false);
        row("pBtn_MouseLeftClick", none, QStringLiteral("鼠标->左键单击\n"), false);
        row("pBtn_MouseLeftDown", none, QStringLiteral("鼠标->左键按下\n"), true);
        row("pBtn_MouseLeftUp", none, QStringLiteral("鼠标->左键提起\n"), true);
        row("pBtn_MouseRightClick", none, QStringLiteral("鼠标->右键单击\n"), true);
        row("pBtn_MouseOffset",
            {QStringLiteral("sBox_MouseOffsetX=-10"), QStringLiteral("sBox_MouseOffsetY=20")},
            QStringLiteral("鼠标->-10*20\n"), true);
        row("pBtn_Keyboard", {QStringLiteral("lEdt_Keyboard= Ctrl+Shift+Esc ")},
            QStringLiteral("键盘-> Ctrl+Shift+Esc \n"), true);
        row("pBtn_InputText", {QStringLiteral("lEdt_InputText=你好 world")},
            QStringLiteral("粘贴->你好 world\n"), true);
        row("pBtn_MsecSleep", {QStringLiteral("sBox_MsecSleep=1234")},
            QStringLiteral("延时->1234\n"), false);
        row("pBtn_ExecuteTime",
            {QStringLiteral("sBox_ExecuteHour=8"), QStringLiteral("sBox_ExecuteSec=5")},
            QStringLiteral("时间->08:05\n"), false);
        row("pBtn_Shutdown", none, QStringLiteral("关机->/f /s /t 1\n"), false);
        row("pBtn_DisplayDesktop", none, QStringLiteral("键盘->LWin+D\n"), true);
        row("pBtn_CloseWindow", none, QStringLiteral("键盘->Alt+F4\n"), true);
        row("pBtn_MinimizeWindow", none, QStringLiteral("键盘->Alt+Space+N\n"), true);
        row("pBtn_MaximizeWindow", none, QStringLiteral("键盘->Alt+Space+X\n"), true);
        row("pBtn_CtrlC", none, QStringLiteral("键盘->Ctrl+C\n"), true);
        row("pBtn_CtrlX", none, QStringLiteral("键盘->Ctrl+X\n"), true);
        row("pBtn_CtrlV", none, QStringLiteral("键盘->Ctrl+V\n"), true);
        row("pBtn_CtrlS", none, QStringLiteral("键盘->Ctrl+S\n延时->100\n"), false);
        row("pBtn_CtrlF", none, QStringLiteral("键盘->Ctrl+F\n"), true);
        row("pBtn_NextStep", none, QStringLiteral("键盘->Alt+N\n"), true);
        row("pBtn_CtrlA", none, QStringLiteral("键盘->Ctrl+A\n"), true);
        row("pBtn_KeyEnter", none, QStringLiteral("键盘->Enter\n"), true);
        row("pBtn_KeyDel", none, QStringLiteral("键盘->Delete\n"), true);
        row("pBtn_AltTab", none, QStringLiteral("键盘->Ctrl+Tab\n"), true);
        row("pBtn_CtrlP", none, QStringLiteral("键盘->Ctrl+P\n"), true);
        row("pBtn_KeyDown", none, QStringLiteral("键盘->DOWN\n"), true);
        row("pBtn_KeyUp", none, QStringLiteral("键盘->UP\n"), true);
        row("pBtn_KeyLeft", none, QStringLiteral("键盘->LEFT\n"), true);
        row("pBtn_KeyRight", none, QStringLiteral("键盘->RIGHT\n"), true);
        row("pBtn_KeyF2", none, QStringLiteral("键盘->F2\n"), true);
        row("pBtn_KeyF5", none, QStringLiteral("键盘->F5\n"), true);
        row("pBtn_KeyBackspace", none, QStringLiteral("键盘->Backspace\n"), true);
        row("pBtn_LocalLoop", none,
            QStringLiteral(
                "循环N->n //请将n修改为循环次数\n{\n\n循环N->n //请将n修改为循环次数\n}\n"),
            false);
        row("pBtn_CopyIfElse", none,
            QStringLiteral("已复制-> //填写内容用于判断\n{\n\n}\nelse\n{\n\n}\n"), false);
        row("pBtn_ChuanCompare", none,
            QStringLiteral("对比->(串n==[串n]) //请将n修改为需要的串标识\n{\n\n}\nelse\n{\n\n}\n"),
            false);
        row("pBtn_LoopRecognition", none,
            QStringLiteral("识别-> //请添加图片路径\n{\n\n识别-> //请添加图片路径\n}\n"), false);
        row("pBtn_RecognitionIfElse", none,
            QStringLiteral(
                "识别-> //请添加图片路径\n{\n    //如果识别不到，就执行这部分代码\n\n}\nelse\n{\n"
                "    //如果识别到图片，就执行这部分代码\n\n}\n"),
            false);
        row("pBtn_KillProcess", {QStringLiteral("lEdt_KillProcess=notepad.exe")},
            QStringLiteral("进程->notepad.exe\n"), false);
        row("pBtn_AdslConnect",
            {QStringLiteral("lEdt_ConnectAdslName=宽带连接"),
                QStringLiteral("lEdt_ConnectAdslUser=u1"),
                QStringLiteral("lEdt_ConnectAdslPassword=p w")},
            QStringLiteral("cmd->Rasdial \"宽带连接\" \"u1\" \"p w\"\n延时->2000\n"), false);
        row("pBtn_AdslDisconnect", {QStringLiteral("lEdt_DisconnectAdslName=dsl")},
            QStringLiteral("cmd->Rasdial \"dsl\" /DISCONNECT\n延时->100\n"), false);
        row("pBtn_OpenUrl", {QStringLiteral("lEdt_OpenUrl=www.example.com")},
            QStringLiteral("打开->http://www.example.com\n延时->3000\n"), false);
        row("pBtn_Keyboard empty", none, QStringLiteral("键盘->\n"), true);
    }

    void buttons()
    {
        QFETCH(QString, button);
        QFETCH(QStringList, fields);
        QFETCH(QString, text);
        QFETCH(bool, autoDelay);
        for (const bool on : {true, false}) {
            TestWindow w(on ? "AutoAddMSleep=y\r\nMsecSleep=250\r\n"
                            : "AutoAddMSleep=n\r\nMsecSleep=250\r\n");
            fill(w, fields);
            w.window->findChild<QPushButton *>(button.section(QLatin1Char(' '), 0, 0))->click();
            const QString expected
                = text + (on && autoDelay ? QStringLiteral("延时->250\n") : QString());
            QCOMPARE(w.editor()->toPlainText(), expected);
            QCOMPARE(w.editor()->textCursor().position(), expected.size());
        }
    }

    void insertedAtTheCursorReplacingASelection()
    {
        TestWindow w("AutoAddMSleep=y\r\n");
        w.editor()->setPlainText(QStringLiteral("延时->1\nOLD\n延时->2"));
        w.setCursor(9, 6); // "OLD"
        w.child<QPushButton>("pBtn_CtrlC")->click();
        QCOMPARE(w.editor()->toPlainText(),
            QStringLiteral("延时->1\n键盘->Ctrl+C\n延时->100\n\n延时->2"));
        // One undo step per insertion: the delay line, then the key line.
        w.key(Qt::Key_Z, Qt::ControlModifier);
        QCOMPARE(w.editor()->toPlainText(), QStringLiteral("延时->1\n键盘->Ctrl+C\n\n延时->2"));
    }

    void bitmapChooser()
    {
        TestWindow w("AutoAddMSleep=y\r\nMsecSleep=250\r\n");
        w.answers << QStringLiteral("/home/u/图 片/ok.bmp");
        auto *button = w.child<QPushButton>("pBtn_ImageRecognition");
        button->click();
        QCOMPARE(w.questions, QStringList {QStringLiteral("选择文件|.")});
        QCOMPARE(
            w.editor()->toPlainText(), QStringLiteral("识别->/home/u/图 片/ok.bmp\n延时->250\n"));
        // Cancelled: only the delay line.
        w.editor()->clear();
        button->click();
        QCOMPARE(w.editor()->toPlainText(), QStringLiteral("延时->250\n"));
        // Without automatic delays a cancel writes nothing, and keeps a selection.
        w.child<QCheckBox>("cBox_AutoAddMSleep")->click();
        w.editor()->setPlainText(QStringLiteral("keep"));
        w.setCursor(4, 0);
        button->click();
        QCOMPARE(w.editor()->toPlainText(), QStringLiteral("keep"));
    }

    void openTarget_data()
    {
        QTest::addColumn<QString>("target");
        QTest::addColumn<bool>("isFile");
        QTest::addColumn<QString>("text");
        QTest::newRow("ftp") << QStringLiteral("ftp://a.cn/x") << false
                             << QStringLiteral("打开->ftp://a.cn/x\n延时->3000\n");
        QTest::newRow("https") << QStringLiteral("https:a") << false
                               << QStringLiteral("打开->https:a\n延时->3000\n");
        QTest::newRow("scheme is case-sensitive") << QStringLiteral(
            "HTTP://a") << false << QStringLiteral("打开->http://HTTP://a\n延时->3000\n");
        QTest::newRow("existing file") << QStringLiteral("/tmp/a b.txt") << true
                                       << QStringLiteral("打开->/tmp/a b.txt\n延时->2000\n");
    }

    void openTarget()
    {
        QFETCH(QString, target);
        QFETCH(bool, isFile);
        QFETCH(QString, text);
        QCOMPARE(builder::openTargetText(target, isFile), text);
    }

    void openTargetExistingFileAndFolder()
    {
        TestWindow w;
        auto *field = w.child<QLineEdit>("lEdt_OpenUrl");
        field->setText(w.path(QStringLiteral("Quorvel.qcf")));
        QTest::keyClick(field, Qt::Key_Return); // Enter presses the button
        field->setText(w.path(QStringLiteral("ZtFiles")));
        w.child<QPushButton>("pBtn_OpenUrl")->click();
        QCOMPARE(w.editor()->toPlainText(),
            QStringLiteral("打开->") + w.path(QStringLiteral("Quorvel.qcf"))
                + QStringLiteral("\n延时->2000\n") + QStringLiteral("打开->http://")
                + w.path(QStringLiteral("ZtFiles")) + QStringLiteral("\n延时->3000\n"));
    }

    void settingsOfThePanel()
    {
        TestWindow w("A=1\r\n");
        const auto setting = [&w](const char *key) {
            return QString::fromLocal8Bit(
                settings::ReadSetting(w.read(QStringLiteral("Quorvel.qcf")), key));
        };
        auto *box = w.child<QCheckBox>("cBox_AutoAddMSleep");
        QVERIFY(box->isChecked());
        box->click();
        QCOMPARE(setting("AutoAddMSleep"), QStringLiteral("n"));
        box->click();
        QCOMPARE(setting("AutoAddMSleep"), QStringLiteral("y"));

        w.child<QSpinBox>("sBox_MsecSleep")->setValue(4321);
        QCOMPARE(setting("MsecSleep"), QStringLiteral("4321"));

        fill(w,
            {QStringLiteral("lEdt_ConnectAdslName=拨号"),
                QStringLiteral("lEdt_ConnectAdslUser=user"),
                QStringLiteral("lEdt_ConnectAdslPassword=secret"),
                QStringLiteral("lEdt_DisconnectAdslName=断开名")});
        w.child<QPushButton>("pBtn_AdslConnect")->click();
        QCOMPARE(setting("connectAdslName"), QStringLiteral("拨号"));
        QCOMPARE(setting("connectAdslUser"), QStringLiteral("user"));
        QCOMPARE(setting("connectAdslPassword"), QStringLiteral("secret"));
        QCOMPARE(setting("disconnectAdslName"), QString());
        w.child<QPushButton>("pBtn_AdslDisconnect")->click();
        QCOMPARE(setting("disconnectAdslName"), QStringLiteral("断开名"));
        QCOMPARE(setting("A"), QStringLiteral("1"));
    }
};

QTEST_MAIN(TestBuilder)
#include "tst_builder.moc"
