// `Quorvel --check`: the report it prints (text and JSON) and its command line, exit codes and
// file reading. The real binary is run in tests/e2e/tst_e2e_check.cpp.
#include "app/checkcommand.h"
#include "app/checkreport.h"
#include "app/scriptfiles.h"
#include "testfiles.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>
#include <QtTest>

using checker::Problem;
using checker::Report;
using checker::Severity;
using preparation::LineOrigin;

namespace {

LineOrigin origin(const QString &file, int line, bool rewritten = false)
{
    LineOrigin o;
    o.file = file;
    o.line = line;
    o.rewritten = rewritten;
    return o;
}

Problem problem(Severity severity, int line, const LineOrigin &where, const QString &message)
{
    Problem p;
    p.severity = severity;
    p.line = line;
    p.origin = where;
    p.message = message;
    return p;
}

// A report as the checker gives one: its own lines, an inserted one, a macro-written one, an
// error, a warning and a directive's problem.
Report sampleReport()
{
    Report report;
    report.script.lines = QStringList {QStringLiteral("鼠标->100,200"), QStringLiteral("跳舞->1"),
        QStringLiteral("延时->100"), QStringLiteral("键盘->Ctrl+C")};
    report.script.origins
        = {origin({}, 1), origin({}, 3), origin(QStringLiteral("lib.zt"), 2, true), origin({}, 12)};
    report.problems = {
        problem(Severity::Error, 0, origin({}, 5), QStringLiteral("找不到插入的文件")),
        problem(Severity::Error, 2, origin({}, 3), QStringLiteral("无该命令类型")),
        problem(Severity::Warning, 3, origin(QStringLiteral("lib.zt"), 2, true),
            QStringLiteral("可疑")),
    };
    report.errors = 2;
    report.warnings = 1;
    return report;
}

QStringList arguments(const char *joined)
{
    return QString::fromUtf8(joined).split(QLatin1Char(' '), Qt::SkipEmptyParts);
}

} // namespace

Q_DECLARE_METATYPE(checker::Problem)

class TstCheckReport : public QObject
{
    Q_OBJECT

private slots:
    void wholeText();
    void textWithoutProblems();
    void columnsGrowWithTheScript();
    void printable_data();
    void printable();
    void displayWidth_data();
    void displayWidth();
    void problemLine_data();
    void problemLine();
    void jsonParsesBack();
    void jsonKeepsTextExactly();
    void reportOfRealPreparation();
    void parseArguments_data();
    void parseArguments();
    void requested_data();
    void requested();
    void runExitCodes_data();
    void runExitCodes();
    void unreadableReasons();
    void unreadableWithoutPermission();
};

void TstCheckReport::wholeText()
{
    // The shape scripts and editors parse: a change here is a change for them.
    QCOMPARE(checkreport::formatText(sampleReport(), QStringLiteral("dir/s.zt")),
        QStringLiteral("   1  dir/s.zt:1     鼠标->100,200\n"
                       "   2  dir/s.zt:3     跳舞->1\n"
                       "   3  lib.zt:2 (宏)  延时->100\n"
                       "   4  dir/s.zt:12    键盘->Ctrl+C\n"
                       "dir/s.zt:5: 错误: 找不到插入的文件\n"
                       "dir/s.zt:3: 错误: 第2行: 无该命令类型\n"
                       "lib.zt:2: 警告: 第3行: 可疑\n"
                       "2 个错误, 1 个警告\n"));
}

void TstCheckReport::textWithoutProblems()
{
    Report report;
    QCOMPARE(checkreport::formatText(report, QStringLiteral("a.zt")),
        QStringLiteral("0 个错误, 0 个警告\n"));
    report.script.lines = QStringList {QStringLiteral("延时->1")};
    report.script.origins = {origin({}, 2)};
    QCOMPARE(checkreport::formatText(report, QStringLiteral("a%1.zt")),
        QStringLiteral("   1  a%1.zt:2  延时->1\n0 个错误, 0 个警告\n"));
}

void TstCheckReport::columnsGrowWithTheScript()
{
    Report report;
    for (int i = 1; i <= 10000; ++i) {
        report.script.lines.append(QStringLiteral("延时->%1").arg(i));
        report.script.origins.append(origin({}, i));
    }
    const QStringList rows = checkreport::formatText(report, QStringLiteral("s")).split('\n');
    QCOMPARE(rows.first(), QStringLiteral("    1  s:1      延时->1"));
    QCOMPARE(rows.at(9999), QStringLiteral("10000  s:10000  延时->10000"));
}

void TstCheckReport::printable_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("shown");
    QTest::newRow("plain") << QStringLiteral("打开->D:\\r.txt")
                           << QStringLiteral("打开->D:\\r.txt");
    QTest::newRow("tab stays") << QStringLiteral("a\tb") << QStringLiteral("a\tb");
    QTest::newRow("carriage return") << QStringLiteral("a\rb") << QStringLiteral("a\u240Db");
    QTest::newRow("line feed, escape, nul")
        << QStringLiteral("\n\x1b") + QChar(0) << QStringLiteral("\u240A\u241B\u2400");
    QTest::newRow("delete") << QStringLiteral("x\x7f") << QStringLiteral("x\u2421");
}

void TstCheckReport::printable()
{
    QFETCH(QString, text);
    QFETCH(QString, shown);
    QCOMPARE(checkreport::printable(text), shown);
}

void TstCheckReport::displayWidth_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("width");
    QTest::newRow("ascii") << QStringLiteral("a.zt:12") << 7;
    QTest::newRow("chinese") << QStringLiteral("脚本.zt:1") << 9;
    QTest::newRow("macro mark") << QStringLiteral(" (宏)") << 5;
    QTest::newRow("full-width colon") << QStringLiteral("#：") << 3;
    QTest::newRow("beyond the basic plane") << QStringLiteral("\U00020000x") << 3;
    QTest::newRow("control picture") << QStringLiteral("\u240D") << 1;
}

void TstCheckReport::displayWidth()
{
    QFETCH(QString, text);
    QFETCH(int, width);
    QCOMPARE(checkreport::displayWidth(text), width);
}

void TstCheckReport::problemLine_data()
{
    QTest::addColumn<Problem>("problem");
    QTest::addColumn<QString>("row");
    QTest::newRow("error of a line")
        << problem(Severity::Error, 7, origin({}, 9), QStringLiteral("无该命令类型"))
        << QStringLiteral("s.zt:9: 错误: 第7行: 无该命令类型");
    QTest::newRow("warning in an inserted file")
        << problem(Severity::Warning, 1, origin(QStringLiteral("D:\\公共\\a.zt"), 4), "x")
        << QStringLiteral("D:\\公共\\a.zt:4: 警告: 第1行: x");
    QTest::newRow("directive") << problem(Severity::Error, 0, origin({}, 2), "y")
                               << QStringLiteral("s.zt:2: 错误: y");
    QTest::newRow("directive of no known line")
        << problem(Severity::Error, 0, origin({}, 0), "z") << QStringLiteral("s.zt: 错误: z");
    QTest::newRow("message with a line break") << problem(Severity::Error, 1, origin({}, 1), "a\nb")
                                               << QStringLiteral("s.zt:1: 错误: 第1行: a\u240Ab");
}

void TstCheckReport::problemLine()
{
    QFETCH(Problem, problem);
    QFETCH(QString, row);
    QCOMPARE(checkreport::problemLine(problem, QStringLiteral("s.zt")), row);
}

void TstCheckReport::jsonParsesBack()
{
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(
        checkreport::formatJson(sampleReport(), QStringLiteral("dir/s.zt")), &error);
    QCOMPARE(error.error, QJsonParseError::NoError);
    const QJsonObject root = document.object();
    QCOMPARE(root.value("file").toString(), QStringLiteral("dir/s.zt"));
    QCOMPARE(root.value("errors").toInt(-1), 2);
    QCOMPARE(root.value("warnings").toInt(-1), 1);

    const QJsonArray lines = root.value("lines").toArray();
    QCOMPARE(lines.size(), 4);
    const QJsonObject inserted = lines.at(2).toObject();
    QCOMPARE(inserted.value("line").toInt(), 3);
    QCOMPARE(inserted.value("file").toString(), QStringLiteral("lib.zt"));
    QCOMPARE(inserted.value("sourceLine").toInt(), 2);
    QCOMPARE(inserted.value("rewritten").toBool(false), true);
    QCOMPARE(inserted.value("text").toString(), QStringLiteral("延时->100"));
    QCOMPARE(lines.at(3).toObject().value("file").toString(), QStringLiteral("dir/s.zt"));
    QCOMPARE(lines.at(3).toObject().value("rewritten").toBool(true), false);

    const QJsonArray problems = root.value("problems").toArray();
    QCOMPARE(problems.size(), 3);
    const QJsonObject directive = problems.at(0).toObject();
    QCOMPARE(directive.value("severity").toString(), QStringLiteral("error"));
    QCOMPARE(directive.value("line").toInt(-1), 0);
    QCOMPARE(directive.value("sourceLine").toInt(), 5);
    QCOMPARE(directive.value("file").toString(), QStringLiteral("dir/s.zt"));
    const QJsonObject warning = problems.at(2).toObject();
    QCOMPARE(warning.value("severity").toString(), QStringLiteral("warning"));
    QCOMPARE(warning.value("line").toInt(), 3);
    QCOMPARE(warning.value("file").toString(), QStringLiteral("lib.zt"));
    QCOMPARE(warning.value("message").toString(), QStringLiteral("可疑"));
}

void TstCheckReport::jsonKeepsTextExactly()
{
    // JSON escapes what the text report shows as pictures: readers get the line as it runs.
    Report report;
    const QString line = QStringLiteral("输入->\"引号\"\\\r%1\t");
    report.script.lines = QStringList {line};
    report.script.origins = {origin({}, 1)};
    const QByteArray json = checkreport::formatJson(report, QStringLiteral("无题.zt"));
    const QJsonObject root = QJsonDocument::fromJson(json).object();
    QCOMPARE(root.value("lines").toArray().at(0).toObject().value("text").toString(), line);
    QCOMPARE(root.value("file").toString(), QStringLiteral("无题.zt"));
    QCOMPARE(root.value("problems").toArray().size(), 0);
    QVERIFY(json.contains("无题.zt")); // UTF-8 itself, not \u escapes
}

void TstCheckReport::reportOfRealPreparation()
{
    // The origins as preparation gives them: a macro's lines and an inserted file's.
    const auto reader = [](const QString &path) -> std::optional<QString> {
        if (path == QLatin1String("lib.zt"))
            return QStringLiteral("// lib\n键盘->Ctrl+C\n");
        return std::nullopt;
    };
    const Report report = checker::checkText(
        QStringLiteral("#define _等_ 延时->100\n鼠标->1,1\n\n_等_\n#insert lib.zt\n跳舞->1\n"),
        reader);
    const QStringList rows = checkreport::formatText(report, QStringLiteral("s.zt")).split('\n');
    QCOMPARE(rows.mid(0, 4),
        (QStringList {QStringLiteral("   1  s.zt:2       鼠标->1,1"),
            QStringLiteral("   2  s.zt:4 (宏)  延时->100"),
            QStringLiteral("   3  lib.zt:2     键盘->Ctrl+C"),
            QStringLiteral("   4  s.zt:6       跳舞->1")}));
    QVERIFY(rows.contains(QStringLiteral("s.zt:6: 错误: 第4行: 无该命令类型")));
}

void TstCheckReport::parseArguments_data()
{
    QTest::addColumn<QString>("line");
    QTest::addColumn<QString>("file");
    QTest::addColumn<bool>("json");
    QTest::addColumn<bool>("wrong");
    QTest::newRow("plain") << "--check a.zt"
                           << "a.zt" << false << false;
    QTest::newRow("json first") << "--check --json a.zt"
                                << "a.zt" << true << false;
    QTest::newRow("json after the file") << "--check a.zt --json"
                                         << "a.zt" << true << false;
    QTest::newRow("json before check") << "--json --check a.zt"
                                       << "a.zt" << true << false;
    QTest::newRow("a name with a dash") << "--check -- -a.zt"
                                        << "-a.zt" << false << false;
    QTest::newRow("a lone dash is a name") << "--check -"
                                           << "-" << false << false;
    QTest::newRow("no file") << "--check --json"
                             << "" << true << true;
    QTest::newRow("two files") << "--check a.zt b.zt"
                               << "" << false << true;
    QTest::newRow("unknown option") << "--check --jsn a.zt"
                                    << "" << false << true;
    QTest::newRow("unknown short option") << "--check -j a.zt"
                                          << "" << false << true;
}

void TstCheckReport::parseArguments()
{
    QFETCH(QString, line);
    QFETCH(QString, file);
    QFETCH(bool, json);
    QFETCH(bool, wrong);
    const checkcommand::Arguments parsed
        = checkcommand::parseArguments(line.split(' ', Qt::SkipEmptyParts));
    QCOMPARE(!parsed.error.isEmpty(), wrong);
    if (!wrong) {
        QCOMPARE(parsed.file, file);
        QCOMPARE(parsed.json, json);
    }
}

void TstCheckReport::requested_data()
{
    QTest::addColumn<QByteArray>("line");
    QTest::addColumn<bool>("check");
    QTest::newRow("no arguments") << QByteArray() << false;
    QTest::newRow("a script file") << QByteArray("a.zt") << false;
    QTest::newRow("autorun") << QByteArray("-autorun") << false;
    QTest::newRow("json alone") << QByteArray("--json a.zt") << false;
    QTest::newRow("check") << QByteArray("--check a.zt") << true;
    QTest::newRow("check later") << QByteArray("--json a.zt --check") << true;
    QTest::newRow("check, misspelt") << QByteArray("--Check a.zt") << false;
}

void TstCheckReport::requested()
{
    QFETCH(QByteArray, line);
    QFETCH(bool, check);
    QList<QByteArray> words = line.split(' ');
    words.removeAll(QByteArray());
    std::vector<char *> argv {const_cast<char *>("Quorvel")};
    for (QByteArray &word : words)
        argv.push_back(word.data());
    argv.push_back(nullptr);
    QCOMPARE(checkcommand::requested(int(argv.size() - 1), argv.data()), check);
}

void TstCheckReport::runExitCodes_data()
{
    QTest::addColumn<QByteArray>("script"); // empty: no such file
    QTest::addColumn<QString>("options");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QString>("out"); // a row the output holds
    QTest::addColumn<QString>("err"); // what stderr starts with
    QTest::newRow("good") << QByteArray("鼠标->1,1\r\n延时->5\r\n") << "" << 0
                          << "   2  @:2  延时->5"
                          << "";
    QTest::newRow("unknown command")
        << QByteArray("跳舞->1\n") << "" << 1 << "@:1: 错误: 第1行: 无该命令类型"
        << "";
    QTest::newRow("json") << QByteArray("跳舞->1\n") << "--json" << 1 << "\"errors\": 1"
                          << "";
    QTest::newRow("cut at a zero byte")
        << QByteArray("延时->5\n") + QByteArray(1, '\0') + QByteArray("跳舞->1\n") << "" << 0
        << "0 个错误, 0 个警告"
        << "";
    QTest::newRow("missing file") << QByteArray() << "" << 2 << ""
                                  << "Quorvel: 无法读取 @: 文件不存在";
    QTest::newRow("usage") << QByteArray("延时->5\n") << "--jsn" << 2 << ""
                           << "Quorvel: 未知选项 --jsn\n用法: Quorvel --check";
}

void TstCheckReport::runExitCodes()
{
    QFETCH(QByteArray, script);
    QFETCH(QString, options);
    QFETCH(int, exitCode);
    QFETCH(QString, out);
    QFETCH(QString, err);
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("脚本.zt"));
    if (!script.isEmpty())
        writeFile(path, script);
    const checkcommand::Outcome outcome = checkcommand::run(
        QStringList {QStringLiteral("--check"), path} + arguments(options.toUtf8()));
    QCOMPARE(outcome.exitCode, exitCode);
    const QString shown = QDir::toNativeSeparators(path);
    QVERIFY2(QString::fromUtf8(outcome.out).contains(out.replace('@', path)), outcome.out);
    const QString errors = QString::fromUtf8(outcome.err);
    QCOMPARE(errors.left(err.size()), err.replace('@', shown));
    QCOMPARE(errors.isEmpty(), err.isEmpty());
    QCOMPARE(outcome.out.isEmpty(), exitCode == 2);
}

void TstCheckReport::unreadableReasons()
{
    QTemporaryDir dir;
    QCOMPARE(checkcommand::unreadableReason(dir.path()), QStringLiteral("这是文件夹"));
    QCOMPARE(checkcommand::unreadableReason(dir.filePath("none.zt")), QStringLiteral("文件不存在"));

    // One byte more than a run from a file takes (sparse, so it costs no disk).
    QFile large(dir.filePath("large.zt"));
    QVERIFY(large.open(QIODevice::WriteOnly));
    QVERIFY(large.resize(maxEditorScriptBytes + 1));
    large.close();
    QCOMPARE(
        checkcommand::unreadableReason(large.fileName()), QStringLiteral("文件过大(大于16MB)"));
    QCOMPARE(checkcommand::run({QStringLiteral("--check"), large.fileName()}).exitCode, 2);
}

void TstCheckReport::unreadableWithoutPermission()
{
    QTemporaryDir dir;
    QFile locked(dir.filePath("locked.zt"));
    QVERIFY(locked.open(QIODevice::WriteOnly));
    locked.close();
    QVERIFY(locked.setPermissions(QFileDevice::WriteOwner));
    if (locked.open(QIODevice::ReadOnly))
        QSKIP("this user reads files without read permission (root)");
    QCOMPARE(checkcommand::unreadableReason(locked.fileName()), QStringLiteral("无法打开"));
}

QTEST_GUILESS_MAIN(TstCheckReport)
#include "tst_checkreport.moc"
