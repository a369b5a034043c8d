// The checker: every rule on scripts that show it, and what it must leave alone.
#include "engine/checker.h"

#include <QtTest>

using namespace checker;

namespace {

// Paths that exist for these tests: every path that mentions "present".
bool fakeExists(const QString &path)
{
    return path.contains(QLatin1String("present"));
}

// "line:E|W:message" for each problem; directive problems show their origin line as "d<n>".
QStringList described(const QString &script)
{
    Options options;
    options.fileExists = fakeExists;
    const preparation::FileReader reader = [](const QString &path) -> std::optional<QString> {
        if (path == QLatin1String("lib.zt"))
            return QStringLiteral("鼠标->1,2\n跳舞->3\n");
        return std::nullopt;
    };
    QStringList out;
    for (const Problem &p : checkText(script, reader, options).problems) {
        const QString where = p.line > 0 ? QString::number(p.line)
                                         : QStringLiteral("d") + QString::number(p.origin.line);
        out << where + QLatin1Char(':') + (p.severity == Severity::Error ? "E" : "W")
                + QLatin1Char(':') + p.message;
    }
    return out;
}

} // namespace

class TstChecker : public QObject
{
    Q_OBJECT

private slots:
    void rules_data();
    void rules();
    void problemsCarryOrigins();
    void reportCounts();
};

void TstChecker::rules_data()
{
    QTest::addColumn<QString>("script");
    // Each expected entry "line:E|W:fragment" matches one problem whose message contains the
    // fragment, in order.
    QTest::addColumn<QStringList>("expected");

    auto row = [](const char *name, const char *script, QStringList expected) {
        QTest::newRow(name) << QString::fromUtf8(script) << expected;
    };
    // Nothing to say about good lines of every command.
    row("good lines",
        "鼠标->100,200\n鼠标->-5*+7>>>\n鼠标->10,10(5*5)\n鼠标->左键双击\n鼠标->(变3)\n"
        "键盘->Ctrl+C\n键盘->Tab*3\n键盘->Enter(100)\n键盘->+\n键盘->A>>\n按下->Shift\n抬起->Shift\n"
        "粘贴->你好\n延时->100\n时间->08:05\n复制->(清空)\n串3->abc\n变100->5\n"
        "对比->(变1>=5)||(串2==[串3])\n{\n}\nelse\n{\n}\n跳到->1\n跳加->1\n跳减->1\n刷新->0\n"
        "文件->/a=>/b\n改名->/a=>/b\n日期->yyyy\n截止->1\n进程->x\ncmd->echo\n"
        "文件夹->创建[/tmp/x]\n文件夹->打开[/present]\n存csv->[/present.csv][复制]\n"
        "查csv->k[/present.csv](串1)\n识别->/present.bmp\n识别->0,0-10,10=>/present.bmp(串2)\n"
        "截图->0,0-10,10=>/tmp/a.bmp\n截图->0,0-9*9=>[3,4](串5)\n图片->/present.bmp(CutBorder)\n"
        "循环a->2\n{\n循环a->1\n}",
        {});
    row("unknown command word", "跳舞->1\n鼠标->1,1", {"1:E:无该命令类型"});
    row("empty command word", "->1", {"1:E:无该命令类型"});
    row("two arrows", "鼠标->1->2", {"1:W:多个“->”"});
    row("variable numbers", "串0->a\n变101->b\n复制->[变0]\n延时->[串200]\n鼠标->(变101)",
        {"1:E:范围是1-100", "2:E:范围是1-100", "3:E:范围是1-100", "4:E:范围是1-100",
            "5:E:范围是1-100"});
    row("arguments from run time are not judged", "鼠标->[变1]\n键盘->[串2]\n延时->[复制]\n"
        "时间->[变3]\n对比->x[变2]\n截图->[串1]\n识别->[变2]",
        {});
    row("mouse forms", "鼠标->100;200\n鼠标->左键三击\n鼠标->1,2,3", {"1:E:鼠标参数无法识别",
        "2:E:鼠标参数无法识别", "3:E:鼠标参数无法识别"});
    row("key names", "键盘->Ctrl+Foo\n键盘->Bar\n按下->Baz\n抬起->Qux\n键盘->Ctrl+\n键盘->A*0",
        {"1:E:按键无法识别：Foo", "2:E:按键无法识别：Bar", "3:E:按键无法识别：Baz",
            "4:E:按键无法识别：Qux", "5:E:按键无法识别", "6:W:重复次数小于1"});
    row("times", "延时->-5\n时间->24:00\n时间->12:60\n时间->8:05\n时间->1200",
        {"1:E:延时不能为负数", "2:E:时间超出范围", "3:E:时间超出范围", "4:W:08:05", "5:W:时:分"});
    row("comparisons", "对比->(变1 = 2)\n对比->变1==2\n对比->(变0==1)\n对比->(变1==[串101])\n"
        "对比->(变1==1)||oops",
        {"1:E:比较符错误:=", "2:E:比较式错误:变1==2", "3:E:范围是1-100", "4:E:范围是1-100",
            "5:W:前面的比较都不成立时会出错：比较式错误:oops"});
    row("files and folders", "文件夹->新建[/tmp]\n文件夹->打开[/missing]\n改名->/a=/b\n文件->/a",
        {"1:E:文件夹参数", "2:W:文件夹不存在", "3:E:改名参数", "4:W:文件参数"});
    row("csv", "存csv->[/a.csv][串101]\n存csv->abc\n查csv->k[/missing.csv](复制)\n"
        "查csv->k(复制)\n查csv->k[/present.csv](变101)",
        {"1:E:范围是1-100", "2:W:存csv", "3:W:CSV文件不存在", "4:W:查csv格式",
            "5:W:查csv格式", "5:E:范围是1-100"});
    row("images", "识别->/missing.bmp\n识别->bad=>/present.bmp\n识别->/present.bmp(串101)\n"
        "截图->0,0=>/a.bmp\n截图->0,0-5,5=>[3,4](串0)\n图片->/missing.bmp(CutBorder)\n图片->nothing",
        {"1:W:图片不存在!", "2:E:识别区域格式有误", "3:W:找到时会出错", "4:E:截图区域格式有误",
            "5:E:范围是1-100", "6:W:图片不存在!", "7:W:图片参数无法识别"});
    row("jumps past the end", "跳到->3\n跳到->0\n跳加->5\n跳减->9\n刷新->-1",
        {"3:W:跳转目标超出脚本(共5行)", "4:W:跳转目标超出", "5:W:跳转目标超出"});
    row("braces", "}\n对比->(变1==1)\n{\n延时->1", {"1:E:多余的“}”", "3:E:缺少与之配对的“}”"});
    row("brace after a plain line", "延时->1\n{\n}", {"2:W:上一行不是条件"});
    row("else out of place", "对比->(变1==1)\n{\n}\n延时->1\nelse\n{\n}\nelse",
        {"5:E:else 须紧跟", "8:E:else 须紧跟"});
    row("loop without its end", "循环b->3\n{\n延时->1\n}", {"1:E:循环没有结束行"});
    row("held keys", "按下->Ctrl\n按下->Shift\n抬起->Ctrl\n按下->Alt", {"2:W:没有抬起", "4:W:没有抬起"});
    row("unused and misplaced #define", "#define A 鼠标->1,1\n#define B x\nA\n#define C y",
        {"d2:W:#define B 在后文中没有用到", "d4:W:#define 只在脚本开头"});
    // Line comments go after the macros: a comment above a #define makes it no directive.
    row("comment before #define", "// note\n#define A 鼠标->1,1\nA",
        {"d2:W:#define 只在脚本开头", "1:E:无该命令类型"});
    row("missing #insert", "#insert nowhere.zt\n延时->1", {"d1:W:#insert 的文件不存在：nowhere.zt"});
    row("problems inside an inserted file", "延时->1\n#insert lib.zt", {"3:E:无该命令类型"});
    row("comments hide lines", "// 跳舞->1\n/* 跳舞->2\n*/ 鼠标->1,1", {});
}

void TstChecker::rules()
{
    QFETCH(QString, script);
    QFETCH(QStringList, expected);
    const QStringList found = described(script);
    bool same = found.size() == expected.size();
    for (int i = 0; same && i < found.size(); ++i) {
        const QStringList want = expected.at(i).split(QLatin1Char(':')).mid(0, 2);
        const QString fragment = expected.at(i).section(QLatin1Char(':'), 2);
        same = found.at(i).startsWith(want.join(QLatin1Char(':')) + QLatin1Char(':'))
            && found.at(i).section(QLatin1Char(':'), 2).contains(fragment);
    }
    if (!same)
        QFAIL(qPrintable(QStringLiteral("found:\n  ") + found.join(QStringLiteral("\n  "))
            + QStringLiteral("\nexpected:\n  ") + expected.join(QStringLiteral("\n  "))));
}

// A problem names the prepared line the run counts and where to show it.
void TstChecker::problemsCarryOrigins()
{
    const preparation::FileReader reader = [](const QString &path) -> std::optional<QString> {
        if (path == QLatin1String("lib.zt"))
            return QStringLiteral("\n跳舞->3\n");
        return std::nullopt;
    };
    const Report report = checkText(
        QStringLiteral("#define W 跳舞->9\n// note\n\n#insert lib.zt\nW\n"), reader);
    QCOMPARE(report.problems.size(), 2);
    const Problem &inserted = report.problems.at(0);
    QCOMPARE(inserted.line, 1);
    QCOMPARE(inserted.origin.file, QStringLiteral("lib.zt"));
    QCOMPARE(inserted.origin.line, 2);
    const Problem &macro = report.problems.at(1);
    QCOMPARE(macro.line, 2);
    QCOMPARE(macro.origin.file, QString());
    QCOMPARE(macro.origin.line, 5);
    QVERIFY(macro.origin.rewritten);
}

void TstChecker::reportCounts()
{
    const Report report = checkText(QStringLiteral("跳舞->1\n延时->-1\n跳到->9\n按下->A"));
    QCOMPARE(report.errors, 2);
    QCOMPARE(report.warnings, 2);
    QCOMPARE(report.script.lines.size(), 4);
    QCOMPARE(checkText(QString()).problems.size(), 0);
}

QTEST_GUILESS_MAIN(TstChecker)
#include "tst_checker.moc"
