// The panels of the form on their own: the real form built on a bare window, each panel attached
// to a recording host instead of the main window. What a panel restores and what it asks of the
// program must go through its host, once, and restoring must write nothing back.
#include "app/dialogs.h"
#include "app/panels/builderpanel.h"
#include "app/panels/csvquicktoolspanel.h"
#include "app/panels/csvtablepanel.h"
#include "app/panels/hotkeyslotspanel.h"
#include "app/panels/quickrunpanel.h"
#include "app/panels/scriptfilespanel.h"
#include "app/panels/settingspanel.h"
#include "app/processstate.h"
#include "fakeplatform.h"
#include "settings/settings.h"
#include "testfiles.h"
#include "ui_mainwindow.h"

#include <QAbstractButton>
#include <QComboBox>
#include <QDir>
#include <QMainWindow>
#include <QLineEdit>
#include <QTemporaryDir>
#include <QtTest>

#include <memory>

namespace {

// Every host interface at once, as the main window implements them; each call is logged.
class RecordingHost : public BuilderPanel::Host,
                      public CsvQuickToolsPanel::Host,
                      public CsvTablePanel::Host,
                      public HotKeySlotsPanel::Host,
                      public QuickRunPanel::Host,
                      public ScriptFilesPanel::Host,
                      public SettingsPanel::Host
{
public:
    QByteArray settingsText;
    ProcessState processState;
    FakePlatform fakePlatform;
    QStringList log;

    QByteArray setting(const char *key) const override
    {
        return settings::ReadSetting(settingsText, QByteArray(key));
    }
    void writeSetting(const char *key, const QString &value) override
    {
        log << QStringLiteral("write:%1=%2").arg(QLatin1String(key), value);
    }
    const ProcessState &process() const override { return processState; }
    Platform &platform() override { return fakePlatform; }
    void insertIntoScript(const QString &text) override { log << QStringLiteral("insert:") + text; }
    void toggleRecording() override { log << QStringLiteral("record"); }
    QString scriptText() const override { return QStringLiteral("editor text"); }
    void showScript(const QString &text) override { log << QStringLiteral("show:") + text; }
    void restartUndoHistory() override { log << QStringLiteral("undo history"); }
    void showRunHint() override { log << QStringLiteral("hint"); }
    void runScript(const QString &text) override { log << QStringLiteral("run:") + text; }
    void hideWindow() override { log << QStringLiteral("hide"); }
    void saveWindowGeometry() override { log << QStringLiteral("geometry"); }
    void enableSlotHotKey(int digit) override { log << QStringLiteral("enable:%1").arg(digit); }
    void disableSlotHotKey(int digit) override { log << QStringLiteral("disable:%1").arg(digit); }
    void registerStartUpSlotHotKeys(const QVector<int> &digits) override
    {
        QStringList text;
        for (int digit : digits)
            text << QString::number(digit);
        log << QStringLiteral("start-up keys:") + text.join(QLatin1Char(','));
    }
};

// The form on a bare window, every panel attached to one recording host and restored from the
// given settings, in the main window's order.
struct Form
{
    QTemporaryDir dir;
    RecordingHost host;
    QMainWindow window;
    Ui::MainWindow ui;

    explicit Form(const QByteArray &settingsText = {})
    {
        host.settingsText = settingsText;
        host.processState.programFolder = dir.path() + QLatin1Char('/');
        QDir().mkpath(host.processState.scriptFolder());
        ui.setupUi(&window);
        ui.wgt_Builder->attach(host);
        ui.wgt_CsvQuickTools->attach(host);
        ui.tab_Csv->attach(host);
        ui.groupBox_9->attach(host);
        ui.groupBox_11->attach(host);
        ui.wgt_ScriptFiles->attach(host);
        ui.groupBox_5->attach(host);
    }
    void restore()
    {
        ui.wgt_ScriptFiles->restoreSettings();
        ui.groupBox_5->restoreSettings();
        ui.wgt_Builder->restoreSettings();
        ui.wgt_CsvQuickTools->restoreSettings();
        ui.groupBox_9->restoreSettings();
        ui.tab_Csv->restoreSettings();
    }
    template<class T> T *child(const QString &name) const
    {
        T *found = window.findChild<T *>(name);
        if (!found)
            qFatal("no widget %s", qPrintable(name));
        return found;
    }
};

} // namespace

class TestPanels : public QObject
{
    Q_OBJECT

private slots:
    void restoresItsOwnSettings_data();
    void restoresItsOwnSettings();
    void enabledSlotsRegisterOnceInRowOrder();
    void widgetsReachTheHostOnce_data();
    void widgetsReachTheHostOnce();
    void scriptListLoadsThroughTheHost();
    void quickRunRunsByName();
};

void TestPanels::restoresItsOwnSettings_data()
{
    QTest::addColumn<QByteArray>("settings");
    QTest::addColumn<QString>("widget");
    QTest::addColumn<QByteArray>("property");
    QTest::addColumn<QVariant>("expected");
    const auto row = [](const char *name, const char *settings, const char *widget,
                         const char *property, const QVariant &expected) {
        QTest::newRow(name) << QByteArray(settings) << QString::fromLatin1(widget)
                            << QByteArray(property) << expected;
    };
    row("adsl name", "connectAdslName=dial", "lEdt_ConnectAdslName", "text", "dial");
    row("adsl password", "connectAdslPassword=pw", "lEdt_ConnectAdslPassword", "text", "pw");
    row("delays on by default", "", "cBox_AutoAddMSleep", "checked", true);
    row("delays off", "AutoAddMSleep=n", "cBox_AutoAddMSleep", "checked", false);
    row("delay", "MsecSleep=250", "sBox_MsecSleep", "value", 250);
    row("record file", "SaveToCsvFileSelect=/d/r.csv", "lEdt_SaveToCsvFileSelect", "text",
        "/d/r.csv");
    row("lookup file", "SearchFromCsvFileSelect=/d/l.csv", "lEdt_SearchFromCsvFileSelect",
        "text", "/d/l.csv");
    row("auto copy", "CsvContentAutoCopy=yes", "cBox_CsvContentAutoCopy", "checked", true);
    row("auto clear", "AutoClearCsvFirstCol=y", "cBox_AutoClearCsvFirstCol", "checked", true);
    row("table file", "CsvFilePath=/d/t.csv", "lEdt_CsvFilePath", "text", "/d/t.csv");
    row("table auto-save off", "AutoSaveToCsvFile=n", "cBox_AutoSaveToCsvFile", "checked", false);
    row("slot enabled", "Ctrl_7=y", "cBox_KeyToPerform_7", "checked", true);
    row("slot script", "CtrlPath_0=/d/a.zt", "lEdt_KeyToPerform_0", "text", "/d/a.zt");
    row("autostart", "autoRun=y", "cBox_AutoRun", "checked", true);
    row("autostart needs exactly y", "autoRun=yes", "cBox_AutoRun", "checked", false);
    row("association", "ztFileRun=y", "cBox_ZtFileRun", "checked", true);
    row("run at start", "executeAtOnce=yes", "cBox_ExecuteAtOnce", "checked", true);
}

void TestPanels::restoresItsOwnSettings()
{
    QFETCH(QByteArray, settings);
    QFETCH(QString, widget);
    QFETCH(QByteArray, property);
    QFETCH(QVariant, expected);

    Form form(settings + "\r\n"); // a value counts once its line is ended
    form.restore();
    QCOMPARE(form.child<QWidget>(widget)->property(property.constData()), expected);
    // Restoring is reading: no value goes back to the settings file.
    for (const QString &entry : qAsConst(form.host.log))
        QVERIFY2(!entry.startsWith(QLatin1String("write:")), qPrintable(entry));
    QCOMPARE(form.ui.groupBox_5->runsAtStart(), widget == QLatin1String("cBox_ExecuteAtOnce"));
}

void TestPanels::enabledSlotsRegisterOnceInRowOrder()
{
    Form form("Ctrl_0=y\nCtrl_5=n\nCtrl_1=y\nCtrlPath_1=/d/one.zt\n");
    form.restore();
    QCOMPARE(form.host.log.filter(QStringLiteral("start-up keys:")),
             QStringList{QStringLiteral("start-up keys:1,0")});
    QCOMPARE(form.ui.groupBox_9->slotScript(1), QStringLiteral("/d/one.zt"));
    QCOMPARE(form.ui.groupBox_9->slotScript(2), QString());
}

void TestPanels::widgetsReachTheHostOnce_data()
{
    QTest::addColumn<QString>("widget");
    QTest::addColumn<QString>("text"); // typed into a line edit, which then gets Enter
    QTest::addColumn<QStringList>("log");
    const auto row = [](const char *widget, const QString &text, const QStringList &log) {
        QTest::newRow(widget) << QString::fromLatin1(widget) << text << log;
    };
    const QString delay = QStringLiteral("insert:延时->100\n");
    row("pBtn_MouseLeftClick", {}, {QStringLiteral("insert:鼠标->左键单击\n")});
    row("pBtn_MouseLeftDown", {}, {QStringLiteral("insert:鼠标->左键按下\n"), delay});
    row("lEdt_InputText", QStringLiteral("abc"), {QStringLiteral("insert:粘贴->abc\n"), delay});
    row("cBox_AutoAddMSleep", {}, {QStringLiteral("write:AutoAddMSleep=n")});
    row("cBox_CsvContentAutoCopy", {}, {QStringLiteral("write:CsvContentAutoCopy=y")});
    row("cBox_AutoSaveToCsvFile", {}, {QStringLiteral("write:AutoSaveToCsvFile=n")});
    row("cBox_KeyToPerform_5", {}, {QStringLiteral("write:Ctrl_5=y"), QStringLiteral("enable:5")});
    row("cBox_ExecuteAtOnce", {}, {QStringLiteral("write:executeAtOnce=y")});
    row("cBox_AutoRun", {}, {QStringLiteral("write:autoRun=y")});
    row("pBtn_FixedSoftPosition", {}, {QStringLiteral("geometry")});
}

void TestPanels::widgetsReachTheHostOnce()
{
    QFETCH(QString, widget);
    QFETCH(QString, text);
    QFETCH(QStringList, log);

    Form form;
    form.restore();
    form.host.log.clear();
    if (auto *field = form.window.findChild<QLineEdit *>(widget)) {
        field->setText(text);
        QTest::keyClick(field, Qt::Key_Return);
    } else {
        form.child<QAbstractButton>(widget)->click();
    }
    QCOMPARE(form.host.log, log);

    // A second click undoes a check box: the host hears the other half exactly once too.
    if (widget == QLatin1String("cBox_KeyToPerform_5")) {
        form.host.log.clear();
        form.child<QAbstractButton>(widget)->click();
        QCOMPARE(form.host.log,
                 (QStringList{QStringLiteral("write:Ctrl_5=n"), QStringLiteral("disable:5")}));
    }
}

void TestPanels::scriptListLoadsThroughTheHost()
{
    Form form;
    const QString folder = form.host.processState.scriptFolder();
    writeFile(folder + QStringLiteral("Quorvel.zt"), "default");
    writeFile(folder + QStringLiteral("b.zt"), "second");
    writeFile(folder + QStringLiteral("A.zt"), "first");
    form.ui.wgt_ScriptFiles->restoreSettings();
    QCOMPARE(form.host.log, (QStringList{QStringLiteral("show:default"),
                                         QStringLiteral("undo history")}));
    auto *list = form.child<QComboBox>(QStringLiteral("cmBox_LoadInstruction"));
    QStringList items;
    for (int i = 0; i < list->count(); ++i)
        items << list->itemText(i);
    QCOMPARE(items, (QStringList{QStringLiteral("Quorvel"), QStringLiteral("A"),
                                 QStringLiteral("b")}));

    form.host.log.clear();
    list->setCurrentIndex(2);
    QMetaObject::invokeMethod(list, "activated", Q_ARG(QString, QStringLiteral("b")));
    QCOMPARE(form.host.log, (QStringList{QStringLiteral("hint"), QStringLiteral("show:second"),
                                         QStringLiteral("undo history")}));
    QCOMPARE(form.ui.wgt_ScriptFiles->currentScriptPath(), folder + QStringLiteral("b.zt"));
    QCOMPARE(form.ui.wgt_ScriptFiles->currentScriptName(), QStringLiteral("b"));
}

void TestPanels::quickRunRunsByName()
{
    Form form;
    QStringList questions;
    dialogs::setResponder([&questions](const dialogs::Question &q) {
        questions << q.title + QLatin1Char('|') + q.text;
        return QString();
    });
    writeFile(form.host.processState.scriptFolder() + QStringLiteral("go.zt"), "abc");
    auto *field = form.child<QLineEdit>(QStringLiteral("lEdt_RunZtFile"));

    field->setText(QStringLiteral("go"));
    QTest::keyClick(field, Qt::Key_Return);
    QCOMPARE(form.host.log, (QStringList{QStringLiteral("run:abc"), QStringLiteral("hide")}));
    QCOMPARE(field->text(), QString());

    form.host.log.clear();
    field->setText(QStringLiteral("gone"));
    QTest::keyClick(field, Qt::Key_Return);
    QCOMPARE(form.host.log, QStringList());
    QCOMPARE(questions, QStringList{QStringLiteral("注意：|文件不存在!")});
    dialogs::setResponder({});
}

QTEST_MAIN(TestPanels)
#include "tst_panels.moc"
