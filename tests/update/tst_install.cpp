// Putting a release in place: the swap is all or nothing, the old files come back whole, and the
// new program's report is read only when it is whole and names a process.
#include "update/install.h"

#include "testfiles.h"

#include <QDir>
#include <QTemporaryDir>
#include <QtTest>

namespace {

// The program's files and their bytes (the update's work folder left out): a folder's state to
// compare before and after.
using Files = QMap<QString, QByteArray>;

Files filesIn(const QString &folder)
{
    Files files;
    QDirIterator it(folder, QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString name = QDir(folder).relativeFilePath(it.next());
        if (!name.startsWith(QLatin1String("QuorvelUpdate/")))
            files.insert(name, readFile(it.filePath()));
    }
    return files;
}

void writeTree(const QString &folder, const Files &files)
{
    for (auto it = files.begin(); it != files.end(); ++it) {
        const QString path = folder + QLatin1Char('/') + it.key();
        QDir().mkpath(QFileInfo(path).absolutePath());
        writeFile(path, it.value());
    }
}

const Files kOld {{QStringLiteral("Quorvel-copy"), "old program"},
    {QStringLiteral("QuorvelExplain.txt"), "old help"},
    {QStringLiteral("Quorvel.qcf"), "user settings"},
    {QStringLiteral("ZtFiles/a.zt"), "user script"}};
const Files kNew {{QStringLiteral("Quorvel"), "new program"},
    {QStringLiteral("QuorvelExplain.txt"), "new help"},
    {QStringLiteral("iconengines/zt.ico"), "new icon"}};
const QStringList kNames {QStringLiteral("Quorvel"), QStringLiteral("QuorvelExplain.txt"),
    QStringLiteral("iconengines/zt.ico")};

} // namespace

class TestInstall : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;
    QString m_program;
    UpdateFolders m_folders;
    QVector<Replacement> m_plan;

private slots:
    void init()
    {
        QVERIFY(m_dir.isValid());
        m_program = m_dir.filePath(QStringLiteral("program"));
        QDir(m_program).removeRecursively();
        writeTree(m_program, kOld);
        m_folders = updateFoldersOf(m_program);
        writeTree(m_folders.staged(), kNew);
        m_plan = replacementsFor(
            m_folders, m_program, kNames, m_program + QStringLiteral("/Quorvel-copy"));
    }

    void theExecutableKeepsTheRunningName()
    {
        QCOMPARE(m_plan.size(), 3);
        QCOMPARE(QFileInfo(m_plan[0].target).fileName(), QStringLiteral("Quorvel-copy"));
        QCOMPARE(m_plan[0].staged, m_folders.staged() + QStringLiteral("/Quorvel"));
        QCOMPARE(m_plan[2].target, QDir(m_program).filePath(QStringLiteral("iconengines/zt.ico")));
        QVERIFY(m_folders.work.startsWith(m_program));
    }

    void swapInThenBack()
    {
        QVERIFY(swapIn(m_plan).ok());
        Files swapped = kOld;
        swapped[QStringLiteral("Quorvel-copy")] = "new program";
        swapped[QStringLiteral("QuorvelExplain.txt")] = "new help";
        swapped[QStringLiteral("iconengines/zt.ico")] = "new icon";
        QCOMPARE(filesIn(m_program), swapped);

        QVERIFY(swapBack(m_plan, m_folders.failed()).ok());
        QCOMPARE(filesIn(m_program), kOld); // the icon that was not there before is gone again
    }

    // A file that cannot be put in place leaves every file as it was.
    void aFailureHalfwayUndoesEverything_data()
    {
        QTest::addColumn<int>("blocked");
        QTest::newRow("first") << 0;
        QTest::newRow("second") << 1;
        QTest::newRow("last") << 2;
    }

    void aFailureHalfwayUndoesEverything()
    {
        QFETCH(int, blocked);
        // The staged file is missing: nothing can be renamed into place.
        QFile::remove(m_plan[blocked].staged);
        const InstallStep step = swapIn(m_plan);
        QVERIFY(!step.ok());
        QVERIFY(step.reason.contains(QDir::toNativeSeparators(m_plan[blocked].target)));
        QCOMPARE(filesIn(m_program), kOld);
    }

    void anOccupiedAsidePlaceIsAFailure()
    {
        QDir().mkpath(m_folders.aside());
        writeFile(m_plan[1].aside, "someone else's");
        QVERIFY(!swapIn(m_plan).ok());
        QCOMPARE(readFile(m_plan[0].target), QByteArray("old program"));
        QCOMPARE(readFile(m_plan[1].target), QByteArray("old help"));
        QCOMPARE(readFile(m_plan[1].aside), QByteArray("someone else's"));
    }

    void startReports_data()
    {
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<qint64>("pid");
        QTest::newRow("whole") << QByteArray("4711 5.5\n") << qint64(4711);
        QTest::newRow("no version") << QByteArray("4711") << qint64(4711);
        QTest::newRow("empty") << QByteArray() << qint64(0);
        QTest::newRow("not a number") << QByteArray("x 5.5\n") << qint64(0);
        QTest::newRow("zero") << QByteArray("0 5.5\n") << qint64(0);
        QTest::newRow("negative") << QByteArray("-3 5.5\n") << qint64(0);
    }

    void startReports()
    {
        QFETCH(QByteArray, content);
        QFETCH(qint64, pid);
        const QString path = m_dir.filePath(QStringLiteral("report"));
        writeFile(path, content);
        QCOMPARE(startReportPid(path), pid);
    }

    void reportRoundTrip()
    {
        const QString path = m_dir.filePath(QStringLiteral("written"));
        QVERIFY(writeStartReport(path, 123456, QStringLiteral("5.5")));
        QCOMPARE(startReportPid(path), qint64(123456));
        QCOMPARE(startReportPid(m_dir.filePath(QStringLiteral("missing"))), qint64(0));
        QVERIFY(!writeStartReport(m_dir.filePath(QStringLiteral("no/such/folder/r")), 1, {}));
    }
};

QTEST_GUILESS_MAIN(TestInstall)
#include "tst_install.moc"
