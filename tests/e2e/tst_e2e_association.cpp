// The .zt association end to end: with it in place, `xdg-open file.zt` on a private Xvfb
// starts the built program in file-start mode and the script runs; after dissociating, the
// same command hands the file to the text editor. HOME and every XDG folder of this test
// process and of everything it starts lie in temporary folders.
#include "e2etest.h"

#include "platform/platform.h"

#include <QtTest>

class TestE2eAssociation : public E2eTest
{
    Q_OBJECT

public:
    // Each case makes its copy in a program folder of its own choosing.
    TestE2eAssociation()
        : E2eTest(QStringLiteral("association"), CopyPerCase::No)
    {
    }

private slots:
    void initTestCase();

    void xdgOpenRunsScript_data();
    void xdgOpenRunsScript();

private:
    QTemporaryDir m_system; // stands for the system's XDG folders
    QProcessEnvironment m_env;
    int m_serial = 0;
};

void TestE2eAssociation::initTestCase()
{
    XvfbSession::Options options;
    options.clipboardKeeper = true;
    QVERIFY2(startSession(options,
                 {QStringLiteral("xdg-open"), QStringLiteral("xdg-mime"),
                     QStringLiteral("update-mime-database"), QStringLiteral("mimetype")}),
        qPrintable(failure()));
    QVERIFY(m_system.isValid());

    // The session's private HOME and XDG folders, for this process too (the association is
    // written from here) and with the system folders in a temporary folder as well.
    m_env = m_x->environment();
    m_env.insert(QStringLiteral("XDG_DATA_DIRS"), m_system.filePath(QStringLiteral("share")));
    m_env.insert(QStringLiteral("XDG_CONFIG_DIRS"), m_system.filePath(QStringLiteral("xdg")));
    for (const QString &name : m_env.keys()) {
        if (name == QLatin1String("HOME") || name.startsWith(QLatin1String("XDG_")))
            qputenv(name.toLocal8Bit().constData(), m_env.value(name).toLocal8Bit());
    }
    for (const char *name : {"XDG_CURRENT_DESKTOP", "XDG_SESSION_DESKTOP", "DESKTOP_SESSION",
             "KDE_FULL_SESSION", "GNOME_DESKTOP_SESSION_ID", "XDG_MENU_PREFIX"})
        qunsetenv(name);
    QCOMPARE(QDir::homePath(), m_x->homePath());
    QVERIFY(qEnvironmentVariable("XDG_CONFIG_HOME").startsWith(m_x->homePath()));
    QVERIFY(qEnvironmentVariable("XDG_DATA_HOME").startsWith(m_x->homePath()));

    // The text editor of this desktop: it notes which file it was asked to open.
    const QString editor = m_system.filePath(QStringLiteral("editor.sh"));
    QFile script(editor);
    QVERIFY(script.open(QIODevice::WriteOnly));
    script.write("#!/bin/sh\nprintf '%s' \"$1\" > \"$0.opened\"\n");
    script.close();
    QVERIFY(QFile::setPermissions(editor, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner));
    QVERIFY(QDir().mkpath(m_system.filePath(QStringLiteral("share/applications"))));
    QVERIFY(QDir().mkpath(m_system.filePath(QStringLiteral("xdg"))));
    QFile entry(m_system.filePath(QStringLiteral("share/applications/editor.desktop")));
    QVERIFY(entry.open(QIODevice::WriteOnly));
    entry.write("[Desktop Entry]\nType=Application\nName=Editor\nExec=" + editor.toUtf8()
        + " %f\nMimeType=text/plain;\n");
    entry.close();
    QFile defaults(m_system.filePath(QStringLiteral("xdg/mimeapps.list")));
    QVERIFY(defaults.open(QIODevice::WriteOnly));
    defaults.write("[Default Applications]\ntext/plain=editor.desktop;\n");
}

void TestE2eAssociation::xdgOpenRunsScript_data()
{
    QTest::addColumn<QString>("programFolder"); // below a temporary folder
    QTest::addColumn<QString>("scriptName");

    QTest::newRow("plain") << "app"
                           << "run.zt";
    QTest::newRow("blanks and Chinese") << "我的 程序/Quorvel dir"
                                        << "脚本 一.zt";
}

void TestE2eAssociation::xdgOpenRunsScript()
{
    QFETCH(QString, programFolder);
    QFETCH(QString, scriptName);

    QTemporaryDir top;
    QVERIFY(top.isValid());
    ProgramCopy copy(*m_x, QStringLiteral(QUORVEL_BINARY), top.filePath(programFolder));
    QVERIFY2(copy.isValid(), qPrintable(copy.errorString()));
    const QString app = copy.path();

    const QString stamp = QStringLiteral("opened %1").arg(++m_serial);
    const QString script = copy.writeText(
        top.filePath(scriptName), QStringLiteral("复制->") + stamp + QStringLiteral("\r\n"));
    QVERIFY(!script.isEmpty());

    Platform &platform = systemPlatform();
    QVERIFY(platform.associateScriptFiles(app, copy.folder() + QLatin1Char('/')));

    QVERIFY(m_x->setClipboardText("before"));
    QProcess *open = m_x->start(QStringLiteral("xdg-open"), {script}, top.path(), m_env);
    QVERIFY(open);
    // xdg-open waits for the program, which ends by itself after the run (file-start mode).
    QVERIFY2(open->waitForFinished(30000), m_x->outputOf(open));
    QVERIFY2(open->exitCode() == 0, m_x->outputOf(open));
    QTRY_COMPARE_WITH_TIMEOUT(QString::fromUtf8(m_x->clipboardText()), stamp, 5000);

    // Dissociated, the same command opens the file in the text editor; the script stays idle.
    QVERIFY(platform.dissociateScriptFiles(app));
    QVERIFY(m_x->setClipboardText("before"));
    const QString opened = m_system.filePath(QStringLiteral("editor.sh.opened"));
    QFile::remove(opened);
    open = m_x->start(QStringLiteral("xdg-open"), {script}, top.path(), m_env);
    QVERIFY(open);
    QVERIFY2(open->waitForFinished(30000), m_x->outputOf(open));
    QFile note(opened);
    QVERIFY2(note.open(QIODevice::ReadOnly), m_x->outputOf(open));
    QCOMPARE(QString::fromUtf8(note.readAll()), script);
    QCOMPARE(m_x->clipboardText(), QByteArray("before"));
}

QTEST_GUILESS_MAIN(TestE2eAssociation)
#include "tst_e2e_association.moc"
