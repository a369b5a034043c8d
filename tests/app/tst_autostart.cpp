// Autostart and the .zt association: the settings page's two boxes on the recording fake,
// and the Linux implementation against the desktop's own tools. HOME and every XDG folder
// point into a temporary folder before anything here touches them.
#include "testwindow.h"

#include "platform/platform.h"

#include <QCheckBox>
#include <QStandardPaths>
#include <QtTest>

namespace {

const QString kMimeType = QStringLiteral("text/x-quorvel-zt");
const QString kDesktopId = QStringLiteral("quorvel-ztfile.desktop");

// Runs a tool to its end in the test's environment; its standard output, trimmed.
QString runTool(const QString &program, const QStringList &arguments, int *exitCode = nullptr)
{
    QProcess process;
    process.start(program, arguments);
    if (!process.waitForFinished(30000)) {
        process.kill();
        process.waitForFinished();
    }
    if (exitCode)
        *exitCode = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    return QString::fromUtf8(process.readAllStandardOutput()).trimmed();
}

QString keyOf(const QString &desktopFile, const QString &key)
{
    for (const QString &line : QString::fromUtf8(readFile(desktopFile)).split(QLatin1Char('\n'))) {
        if (line.startsWith(key + QLatin1Char('=')))
            return line.mid(key.size() + 1);
    }
    return {};
}

// The arguments of an Exec key. Its quoting rules are those of double quotes in the shell,
// so after the string escapes and the doubled percent signs, the shell splits it.
QStringList execArguments(const QString &exec)
{
    QString value;
    for (int i = 0; i < exec.size(); ++i) {
        const QChar c = exec.at(i);
        if (c == QLatin1Char('\\') && i + 1 < exec.size()) {
            const QChar n = exec.at(++i);
            value += n == QLatin1Char('s') ? QChar(' ')
                : n == QLatin1Char('n')    ? QChar('\n')
                : n == QLatin1Char('t')    ? QChar('\t')
                : n == QLatin1Char('r')    ? QChar('\r')
                                           : n;
        } else if (c == QLatin1Char('%') && i + 1 < exec.size()
            && exec.at(i + 1) == QLatin1Char('%')) {
            value += c;
            ++i;
        } else {
            value += c;
        }
    }
    const QString out = runTool(QStringLiteral("/bin/sh"),
        {QStringLiteral("-c"), QStringLiteral("printf '%s\\n' ") + value});
    return out.split(QLatin1Char('\n'));
}

} // namespace

class TestAutostart : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();

    void boxes_data();
    void boxes();

    void autostartEntry_data();
    void autostartEntry();
    void associationWithDesktopTools_data();
    void associationWithDesktopTools();
    void refusedWhenFoldersCannotBeWritten();

private:
    QString makeProgram(const QString &relativePath);
    QString writeZt(const QString &name);

    QTemporaryDir m_env;
    std::unique_ptr<QTemporaryDir> m_case;
};

void TestAutostart::initTestCase()
{
    QVERIFY(m_env.isValid());
    const QString root = m_env.path();
    // Everything the desktop tools and the program read or write stays in here.
    const QStringList folders {
        "home", "config", "data", "config-dirs", "data-dirs", "cache", "state", "runtime"};
    for (const QString &f : folders)
        QVERIFY(QDir().mkpath(root + QLatin1Char('/') + f));
    qputenv("HOME", (root + "/home").toUtf8());
    qputenv("XDG_CONFIG_HOME", (root + "/config").toUtf8());
    qputenv("XDG_DATA_HOME", (root + "/data").toUtf8());
    qputenv("XDG_CONFIG_DIRS", (root + "/config-dirs").toUtf8());
    qputenv("XDG_DATA_DIRS", (root + "/data-dirs").toUtf8());
    qputenv("XDG_CACHE_HOME", (root + "/cache").toUtf8());
    qputenv("XDG_STATE_HOME", (root + "/state").toUtf8());
    qputenv("XDG_RUNTIME_DIR", (root + "/runtime").toUtf8());
    for (const char *name : {"XDG_CURRENT_DESKTOP", "XDG_SESSION_DESKTOP", "DESKTOP_SESSION",
             "KDE_FULL_SESSION", "KDE_SESSION_VERSION", "GNOME_DESKTOP_SESSION_ID",
             "MATE_DESKTOP_SESSION_ID", "XDG_MENU_PREFIX", "DISPLAY", "WAYLAND_DISPLAY"})
        qunsetenv(name);
    qputenv("DBUS_SESSION_BUS_ADDRESS", "disabled:");
    QCOMPARE(QDir::homePath(), root + "/home");
}

void TestAutostart::init()
{
    // Every case starts from empty user and system folders.
    for (const QString &f : {"config", "data", "config-dirs", "data-dirs"}) {
        QDir dir(m_env.path() + QLatin1Char('/') + f);
        QVERIFY(dir.removeRecursively());
        QVERIFY(QDir().mkpath(dir.path()));
    }
    m_case = std::make_unique<QTemporaryDir>();
    QVERIFY(m_case->isValid());
}

QString TestAutostart::makeProgram(const QString &relativePath)
{
    const QString path = m_case->filePath(relativePath);
    QDir().mkpath(QFileInfo(path).absolutePath());
    writeFile(path, "#!/bin/sh\nexit 0\n");
    QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    return path;
}

QString TestAutostart::writeZt(const QString &name)
{
    const QString path = m_case->filePath(name);
    writeFile(path, "复制->1\r\n");
    return path;
}

void TestAutostart::boxes_data()
{
    QTest::addColumn<QString>("box");
    QTest::addColumn<bool>("refused");
    QTest::addColumn<QStringList>("calls"); // "@" is the executable, "#" the program folder
    QTest::addColumn<QByteArray>("settings"); // after checking, then unchecking the box
    QTest::addColumn<int>("messages");

    QTest::newRow("autostart") << "cBox_AutoRun" << false
                               << QStringList {"autostart:on:@ -autorun",
                                      "autostart:off:@ -autorun"}
                               << QByteArray("autoRun=n\r\n") << 0;
    QTest::newRow("autostart refused")
        << "cBox_AutoRun" << true
        << QStringList {"autostart:on:@ -autorun", "autostart:off:@ -autorun"}
        << QByteArray("autoRun=n\r\n") << 2;
    QTest::newRow("association") << "cBox_ZtFileRun" << false
                                 << QStringList {"associate:@|#", "dissociate:@"}
                                 << QByteArray("ztFileRun=n\r\n") << 0;
    QTest::newRow("association refused")
        << "cBox_ZtFileRun" << true << QStringList {"associate:@|#", "dissociate:@"}
        << QByteArray("ztFileRun=n\r\n") << 2;
}

void TestAutostart::boxes()
{
    QFETCH(QString, box);
    QFETCH(bool, refused);
    QFETCH(QStringList, calls);
    QFETCH(QByteArray, settings);
    QFETCH(int, messages);

    TestWindow w(QByteArray("A=1\r\n"));
    w.platform.refuseDesktopSettings = refused;
    w.platform.calls.clear();
    auto *check = w.window->findChild<QCheckBox *>(box);
    QVERIFY(check);

    check->click();
    QVERIFY(check->isChecked());
    // The setting is written whatever the system said.
    const QByteArray key = box == QLatin1String("cBox_AutoRun") ? "autoRun" : "ztFileRun";
    QCOMPARE(w.read(QStringLiteral("Quorvel.qcf")), key + "=y\r\nA=1\r\n");
    check->click();
    QVERIFY(!check->isChecked());
    QCOMPARE(w.read(QStringLiteral("Quorvel.qcf")), settings + "A=1\r\n");

    const ProcessState &p = w.window->process();
    for (QString &c : calls)
        c.replace('@', p.executablePath).replace('#', p.programFolder);
    QCOMPARE(w.platform.calls, calls);
    QCOMPARE(w.questions.size(), messages);
    for (const QString &q : qAsConst(w.questions)) {
        QVERIFY2(q.startsWith(QStringLiteral("提示:|")), qPrintable(q));
        QVERIFY2(q.contains(QStringLiteral("失败")), qPrintable(q));
    }
}

void TestAutostart::autostartEntry_data()
{
    QTest::addColumn<QString>("program");
    QTest::addColumn<QString>("entryName");

    QTest::newRow("plain") << "bin/Quorvel"
                           << "Quorvel.desktop";
    QTest::newRow("blanks and Chinese") << "My Tools/程序 一/Quorvel 2"
                                        << "Quorvel_2.desktop";
    QTest::newRow("shell characters") << "a$b/c\"d`e\\f%g/Quorvel"
                                      << "Quorvel.desktop";
}

void TestAutostart::autostartEntry()
{
    QFETCH(QString, program);
    QFETCH(QString, entryName);
    const QString executable = makeProgram(program);
    Platform &platform = systemPlatform();
    const QDir autostart(m_env.path() + QStringLiteral("/config/autostart"));

    for (int round = 0; round < 2; ++round) { // checking twice still leaves one entry
        QVERIFY(platform.setAutostart(executable, QStringLiteral("-autorun")));
        QCOMPARE(autostart.entryList(QDir::Files), QStringList {entryName});
    }
    const QString entry = autostart.filePath(entryName);
    QCOMPARE(execArguments(keyOf(entry, QStringLiteral("Exec"))),
        (QStringList {executable, QStringLiteral("-autorun")}));
    if (!QStandardPaths::findExecutable(QStringLiteral("desktop-file-validate")).isEmpty()) {
        int code = -1;
        const QString out = runTool(QStringLiteral("desktop-file-validate"), {entry}, &code);
        QVERIFY2(code == 0, qPrintable(out));
    }

    QVERIFY(platform.removeAutostart(executable, QStringLiteral("-autorun")));
    QCOMPARE(autostart.entryList(QDir::Files), QStringList());
    QVERIFY(platform.removeAutostart(executable, QStringLiteral("-autorun"))); // nothing to do
}

void TestAutostart::associationWithDesktopTools_data()
{
    QTest::addColumn<QString>("program");
    QTest::addColumn<bool>("textEditor"); // one is installed and is the default for text

    QTest::newRow("plain, editor") << "bin/Quorvel" << true;
    QTest::newRow("plain, no editor") << "bin/Quorvel" << false;
    QTest::newRow("blanks, editor") << "My Tools/程序 一/Quorvel" << true;
}

void TestAutostart::associationWithDesktopTools()
{
    QFETCH(QString, program);
    QFETCH(bool, textEditor);
    for (const char *tool : {"xdg-mime", "update-mime-database", "mimetype"}) {
        if (QStandardPaths::findExecutable(QLatin1String(tool)).isEmpty())
            QSKIP(qPrintable(
                QStringLiteral("%1 is not installed (tools/install-deps.sh)").arg(tool)));
    }
    const QString executable = makeProgram(program);
    const QString folder = QFileInfo(executable).absolutePath() + QLatin1Char('/');
    const QString script = writeZt(QStringLiteral("a b 脚本.zt"));
    const QString env = m_env.path();
    if (textEditor) {
        QVERIFY(QDir().mkpath(env + "/data-dirs/applications"));
        writeFile(env + "/data-dirs/applications/editor.desktop",
            "[Desktop Entry]\nType=Application\nName=Editor\nExec=cat %f\nMimeType=text/plain;\n");
        writeFile(env + "/config-dirs/mimeapps.list",
            "[Default Applications]\ntext/plain=editor.desktop;\n");
    }
    // The user's own lines stay as they are.
    const QByteArray userLines = "[Added Associations]\nimage/png=viewer.desktop;\n\n"
                                 "[Default Applications]\ntext/html=browser.desktop;\n";
    writeFile(env + "/config/mimeapps.list", userLines);

    Platform &platform = systemPlatform();
    QVERIFY(platform.associateScriptFiles(executable, folder));
    QCOMPARE(runTool(QStringLiteral("xdg-mime"),
                 {QStringLiteral("query"), QStringLiteral("filetype"), script}),
        kMimeType);
    QCOMPARE(runTool(QStringLiteral("xdg-mime"),
                 {QStringLiteral("query"), QStringLiteral("default"), kMimeType}),
        kDesktopId);
    const QString entry = env + "/data/applications/" + kDesktopId;
    const QStringList exec = execArguments(keyOf(entry, QStringLiteral("Exec")));
    QCOMPARE(exec.size(), 2);
    QCOMPARE(QFileInfo(exec.at(0)).canonicalFilePath(), QFileInfo(executable).canonicalFilePath());
    QCOMPARE(exec.at(1), QStringLiteral("%f"));
    // Simple desktop tools split Exec at blanks: its program needs no quoting.
    QVERIFY2(!exec.at(0).contains(QLatin1Char(' ')), qPrintable(exec.at(0)));
    QCOMPARE(keyOf(entry, QStringLiteral("Icon")), folder + QStringLiteral("iconengines/zt.ico"));
    if (!QStandardPaths::findExecutable(QStringLiteral("desktop-file-validate")).isEmpty()) {
        int code = -1;
        const QString out = runTool(QStringLiteral("desktop-file-validate"), {entry}, &code);
        QVERIFY2(code == 0, qPrintable(out));
    }

    // Associating again changes nothing.
    QVERIFY(platform.associateScriptFiles(executable, folder));
    QCOMPARE(runTool(QStringLiteral("xdg-mime"),
                 {QStringLiteral("query"), QStringLiteral("default"), kMimeType}),
        kDesktopId);

    QVERIFY(platform.dissociateScriptFiles(executable));
    QCOMPARE(runTool(QStringLiteral("xdg-mime"),
                 {QStringLiteral("query"), QStringLiteral("default"), kMimeType}),
        textEditor ? QStringLiteral("editor.desktop") : QString());
    QVERIFY(!QFileInfo::exists(entry));
    // The type stays known, as ".zt" stays on Windows.
    QCOMPARE(runTool(QStringLiteral("xdg-mime"),
                 {QStringLiteral("query"), QStringLiteral("filetype"), script}),
        kMimeType);
    const QByteArray lines = readFile(env + "/config/mimeapps.list");
    QVERIFY2(lines.contains("[Added Associations]\nimage/png=viewer.desktop;\n"), lines);
    QVERIFY2(lines.contains("text/html=browser.desktop;\n"), lines);
    QCOMPARE(lines.count(kMimeType.toUtf8()), textEditor ? 1 : 0);
}

void TestAutostart::refusedWhenFoldersCannotBeWritten()
{
    // A file where the folders should be: nothing can be created below it.
    const QString blocked = m_case->filePath(QStringLiteral("blocked"));
    writeFile(blocked, "x");
    const QByteArray config = qgetenv("XDG_CONFIG_HOME");
    const QByteArray data = qgetenv("XDG_DATA_HOME");
    qputenv("XDG_CONFIG_HOME", blocked.toUtf8() + "/config");
    qputenv("XDG_DATA_HOME", blocked.toUtf8() + "/data");
    Platform &platform = systemPlatform();
    const QString executable = makeProgram(QStringLiteral("Quorvel"));
    const bool autostart = platform.setAutostart(executable, QStringLiteral("-autorun"));
    const bool associated = platform.associateScriptFiles(executable, m_case->path());
    qputenv("XDG_CONFIG_HOME", config);
    qputenv("XDG_DATA_HOME", data);
    QVERIFY(!autostart);
    QVERIFY(!associated);
}

QTEST_MAIN(TestAutostart)
#include "tst_autostart.moc"
