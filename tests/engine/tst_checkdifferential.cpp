// The checker against the interpreter: random lines of every command, each run on the
// recording fake and checked. Whatever the checker calls an error must stop the run at that
// line; a line the run passes cleanly must get no error.
#include "csv/csvfile.h"
#include "engine/checker.h"
#include "scriptrun.h"

#include <QtTest>

namespace {

// Pieces of arguments: good and bad forms of every command; %T is the test's folder.
const char *const kPieces[] = {"100,200", "-5*+7", ">>>", "10,10(5*5)", "（3*4）", "左键单击",
    "左键三击", "Ctrl+C", "Ctrl+", "Foo", "A", "*3", "*0", "(100)", ">>", "+", "*", "12:30",
    "24:00", "8:05", "-5", "0", "3", "999", "(变1==1)", "(变1 = 2)", "||", "oops",
    "(串101==x)", "[变1]", "[串2]", "[串0]", "[复制]", "(复制)", "(串2)", "(变101)", "(清空)",
    "=>", "=", "%T/present.bmp", "%T/missing.bmp", "[%T/present.csv]", "[%T/missing.csv]",
    "0,0-10,10", "0,0-9*9", "mxy", "[3,4]", "创建[%T/made]", "打开[%T/present]",
    "打开[%T/none]", "(CutBorder)", "(GetCharImages)[2][g]", "(ReduceLightColour)[3]", "你好",
    " ", "k"};

// Command words: every row of the table, variables in and out of range, and unknown words.
const char *const kWords[] = {"执行", "鼠标", "键盘", "按下", "抬起", "粘贴", "延时", "时间",
    "关机", "打开", "文件夹", "cmd", "进程", "截止", "识别", "复制", "已复制", "对比", "循环a",
    "串1", "变2", "串0", "变101", "存csv", "查csv", "刷新", "跳到", "跳加", "跳减", "文件",
    "改名", "日期", "截图", "图片", "跳舞", ""};

const QString kSentinel = QStringLiteral("鼠标->4321,4321");

} // namespace

class TstCheckDifferential : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void errorsStopTheRun();

private:
    QString randomLine(QRandomGenerator &random) const;
    void resetFiles() const;

    QTemporaryDir m_dir;
    QString m_folder;
};

void TstCheckDifferential::initTestCase()
{
    QVERIFY(m_dir.isValid());
    m_folder = m_dir.path();
    QVERIFY(QDir::setCurrent(m_folder)); // relative saves of 截图 land here
    QVERIFY(QDir(m_folder).mkdir(QStringLiteral("present")));
    csv::setRecordPath(m_folder + QStringLiteral("/record.csv"));
}

void TstCheckDifferential::resetFiles() const
{
    QImage bitmap(4, 4, QImage::Format_RGB32);
    bitmap.fill(Qt::white);
    QVERIFY2(bitmap.save(m_folder + QStringLiteral("/present.bmp"), "BMP"), "bitmap");
    QFile csvFile(m_folder + QStringLiteral("/present.csv"));
    QVERIFY(csvFile.open(QIODevice::WriteOnly | QIODevice::Truncate));
    csvFile.write("k,v\n");
}

QString TstCheckDifferential::randomLine(QRandomGenerator &random) const
{
    QString argument;
    for (int n = random.bounded(1, 4); n > 0; --n)
        argument += QString::fromUtf8(kPieces[random.bounded(int(std::size(kPieces)))]);
    argument.replace(QLatin1String("%T"), m_folder);
    return QString::fromUtf8(kWords[random.bounded(int(std::size(kWords)))]) + QStringLiteral("->")
        + argument;
}

void TstCheckDifferential::errorsStopTheRun()
{
    QRandomGenerator random(20261210);
    int flagged = 0, stopped = 0, missed = 0, undecided = 0;
    for (int round = 0; round < 3000; ++round) {
        resetFiles();
        QStringList lines;
        // Variables with content half of the time, so lines that read them see real values.
        if (random.bounded(2))
            lines << QStringLiteral("变1->5") << QStringLiteral("串2->Ctrl+C");
        const QString line = randomLine(random);
        lines << line << kSentinel;
        const int lineNumber = lines.size() - 1;

        preparation::PreparedScript script;
        script.lines = lines;
        script.origins.resize(lines.size());
        const QVector<checker::Problem> problems = checker::check(script);

        ScriptRun run;
        run.platform.screen = QImage(100, 100, QImage::Format_RGB32);
        run.platform.screen.fill(Qt::white);
        run.platform.exePath = m_folder + QStringLiteral("/Quorvel");
        run.keepTimeline = false;
        bool cut = false;
        // Waits that would last (a time of day, long delays) are cut short: undecided.
        run.onPause = [&](int count) {
            if (count > 3000) {
                cut = true;
                run.thread.executeFlag = false;
                run.thread.waitFlag = false;
            }
        };
        const RunRecord record = run.runList(lines);
        const bool reached = run.platform.calls.contains(QStringLiteral("pointer:4321,4321"));
        const QString error = record.lastError();
        if (cut) {
            ++undecided;
            continue;
        }
        bool checkerError = false;
        for (const checker::Problem &p : problems) {
            if (p.severity != checker::Severity::Error)
                continue;
            checkerError = true;
            if (p.line != lineNumber)
                QFAIL(qPrintable(QStringLiteral("error on a good line %1 with %2: %3")
                                     .arg(p.line)
                                     .arg(line, p.message)));
            if (reached)
                QFAIL(qPrintable(QStringLiteral("false error, the run went on: ") + line
                    + QStringLiteral(" — ") + p.message));
        }
        flagged += checkerError;
        const bool stoppedWithMessage = !error.isEmpty();
        stopped += stoppedWithMessage;
        missed += stoppedWithMessage && !checkerError;
        if (stoppedWithMessage && !checkerError && qEnvironmentVariableIsSet("SHOW_MISSES"))
            qInfo() << lines << error;
    }
    // How much of what stops a run the checker sees before it (the rest depends on values).
    qInfo("%d lines called errors, %d runs stopped with a message, %d of them not called "
          "errors, %d undecided",
        flagged, stopped, missed, undecided);
    QVERIFY(flagged > 300);
}

QTEST_GUILESS_MAIN(TstCheckDifferential)
#include "tst_checkdifferential.moc"
