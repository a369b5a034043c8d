#include "runmessages.h"
#include "scriptrun.h"

#include <QtTest>

// The interpreter's own commands (variables, 复制, 对比, 已复制, blocks and loops) on a real
// thread without pacing. Variables are observed through 复制 lines, which show up as
// clipboard writes.
class TstCoreCommands : public QObject
{
    Q_OBJECT

private slots:
    void variables_data();
    void variables();
    void indexErrors_data();
    void indexErrors();
    void compare_data();
    void compare();
    void clipboardCondition_data();
    void clipboardCondition();
    void blocks_data();
    void blocks();
    void loops_data();
    void loops();
};

void TstCoreCommands::variables_data()
{
    QTest::addColumn<QString>("script");
    QTest::addColumn<QString>("clipboard");
    QTest::addColumn<QStringList>("writes");

    QTest::newRow("串 appends") << "串1->ab\n串1->cd\n复制->[串1]"
                                << "" << QStringList {"abcd"};
    QTest::newRow("串 cleared") << "串1->ab\n串1->(清空)\n复制->[串1]"
                                << "" << QStringList {""};
    QTest::newRow("串 [Enter] [space] any case")
        << "串1->a\n串1->[Enter]\n串1->[SPACE]\n串1->[space]\n串1->[eNTer]\n复制->[串1]"
        << "" << QStringList {"a\r\n  \r\n"};
    QTest::newRow("串 appends the clipboard") << "串1->a\n串1->[复制]\n复制->[串1]"
                                              << "c" << QStringList {"ac"};
    QTest::newRow("串 has no ++") << "串1->1\n串1->2++\n复制->[串1]"
                                  << "" << QStringList {"12++"};
    QTest::newRow("变 replaces") << "变1->x\n变1->y\n复制->[变1]"
                                 << "" << QStringList {"y"};
    QTest::newRow("变 ++") << "变1->5\n变1->2++\n复制->[变1]"
                           << "" << QStringList {"7"};
    QTest::newRow("变 ++ on text") << "变1->abc\n变1->2++\n复制->[变1]"
                                   << "" << QStringList {"2"};
    QTest::newRow("变 special forms")
        << "变1->x\n变1->[ENTER]\n复制->[变1]\n变1->[Space]\n复制->[变1]\n变1->(清空)\n复制->[变1]"
        << "" << QStringList {"\r\n", " ", ""};
    QTest::newRow("变 from the clipboard") << "变1->9\n变1->[复制]\n复制->[变1]"
                                           << "42" << QStringList {"42"};
    QTest::newRow("N>> per pass") << "执行->3\n变2->10>>\n复制->[变2]"
                                  << "" << QStringList {"10", "11", "12"};
    QTest::newRow("c>> per pass") << "执行->3\n串2->a>>\n复制->[串2]"
                                  << "" << QStringList {"a", "ab", "abc"};
    QTest::newRow("c>> of _") << "执行->2\n变1->_>>\n复制->[变1]"
                              << "" << QStringList {"_", "`"};
    QTest::newRow("N>> without 执行") << "串1->5>>\n复制->[串1]"
                                      << "" << QStringList {"5"};
    QTest::newRow("复制 takes the tail variable") << "串1->v\n复制->abc[串1]"
                                                  << "" << QStringList {"v"};
    QTest::newRow("复制 forms") << "复制->(清空)\n复制->[复制]\n复制->(串1)\n复制->plain"
                                << "clip" << QStringList {"", "[复制]", "(串1)", "plain"};
    QTest::newRow("empty at the start") << "复制->[串7]\n复制->[变7]"
                                        << "" << QStringList {"", ""};
    QTest::newRow("index 100") << "串100->x\n变100->y\n复制->[串100]\n复制->[变100]"
                               << "" << QStringList {"x", "y"};
}

void TstCoreCommands::variables()
{
    QFETCH(QString, script);
    QFETCH(QString, clipboard);
    QFETCH(QStringList, writes);
    ScriptRun run;
    run.clipboard = clipboard;
    const RunRecord record = run.runScript(script);
    QCOMPARE(record.clipboardWrites, writes);
    QVERIFY(!reportedError(record));
}

void TstCoreCommands::indexErrors_data()
{
    QTest::addColumn<QString>("script");
    QTest::addColumn<QStringList>("messages");
    QTest::addColumn<QStringList>("writes");
    QTest::addColumn<Ints>("steps");

    QTest::newRow("串0") << "复制->a\n串0->x\n复制->b" << QStringList {error(2, "串0->x")}
                         << QStringList {"a"} << Ints {1};
    QTest::newRow("变101") << "变101->x" << QStringList {error(1, "变101->x")} << QStringList {}
                           << Ints {};
    QTest::newRow("复制 [串0]") << "复制->[串0]" << QStringList {error(1, "复制->[串0]")}
                                << QStringList {} << Ints {};
    QTest::newRow("复制 x[变101]") << "复制->x[变101]" << QStringList {error(1, "复制->x[变101]")}
                                   << QStringList {} << Ints {};
    QTest::newRow("已复制 [串101]")
        << "已复制->[串101]\n{\n}" << QStringList {error(1, "已复制->[串101]")} << QStringList {}
        << Ints {};
    QTest::newRow("执行 [变0]") << "执行->[变0]\n复制->a" << QStringList {error(1, "执行->[变0]")}
                                << QStringList {} << Ints {};
    QTest::newRow("对比 source [串101]")
        << "对比->[串101]\n{\n}" << QStringList {error(1, "对比->[串101]")} << QStringList {}
        << Ints {};
}

void TstCoreCommands::indexErrors()
{
    QFETCH(QString, script);
    QFETCH(QStringList, messages);
    QFETCH(QStringList, writes);
    QFETCH(Ints, steps);
    ScriptRun run;
    const RunRecord record = run.runScript(script);
    QCOMPARE(record.messages, messages);
    QCOMPARE(record.clipboardWrites, writes);
    QCOMPARE(record.steps, steps);
}

void TstCoreCommands::compare_data()
{
    // prefix: lines before the 对比 line; outcome: which branch ran, T or F, or empty when the
    // line reports error and the run ends.
    QTest::addColumn<QString>("prefix");
    QTest::addColumn<QString>("clipboard");
    QTest::addColumn<QString>("expression");
    QTest::addColumn<QString>("outcome");
    QTest::addColumn<QString>("error");
    const auto row = [](const char *name, const char *prefix, const char *clipboard,
                         const char *expression, const char *outcome, const char *error) {
        QTest::newRow(name) << QString::fromUtf8(prefix) << QString::fromUtf8(clipboard)
                            << QString::fromUtf8(expression) << QString::fromUtf8(outcome)
                            << QString::fromUtf8(error);
    };

    row("串 ==", "串1->abc", "", "(串1==abc)", "T", "");
    row("串 == differs", "串1->abd", "", "(串1==abc)", "F", "");
    row("== is case-sensitive", "串1->abc", "", "(串1==ABC)", "F", "");
    row("empty == empty", "", "", "(串1==)", "T", "");
    row(">", "变1->5", "", "(变1>3)", "T", "");
    row("> equal", "变1->5", "", "(变1>5)", "F", "");
    row(">=", "变1->5", "", "(变1>=5)", "T", "");
    row(">= less", "变1->5", "", "(变1>=6)", "F", "");
    row("<", "变1->5", "", "(变1<6)", "T", "");
    row("< equal", "变1->5", "", "(变1<5)", "F", "");
    row("<=", "变1->5", "", "(变1<=5)", "T", "");
    row("<= more", "变1->5", "", "(变1<=4)", "F", "");
    row("negative", "变1->-2", "", "(变1<0)", "T", "");
    row("text counts as 0", "变1->abc", "", "(变1<1)", "T", "");
    row("== compares text", "变1->05", "", "(变1==5)", "F", "");
    row("串 compared as integer", "串1->12", "", "(串1>9)", "T", "");
    row("full-width brackets", "变1->5", "", "（变1>3）", "T", "");
    row("mixed brackets", "变1->5", "", "（变1>3)", "T", "");
    row("blanks inside", "变1->5", "", "( 变1 > 3 )", "T", "");
    row("right [串m]", "串1->ab\n串2->ab", "", "(串1==[串2])", "T", "");
    row("right [变m]", "变1->5\n变2->7", "", "(变1<[变2])", "T", "");
    row("right text ending in [串m]", "串1->x[串2]", "", "(串1==x[串2])", "T", "");
    row("|| first true", "变1->5\n变2->5", "", "(变1>3)||(变2<1)", "T", "");
    row("|| second true", "变1->1\n变2->0", "", "(变1>3)||(变2<1)", "T", "");
    row("|| none true", "变1->1\n变2->5", "", "(变1>3)||(变2<1)", "F", "");
    row("|| stops at the first true", "变1->5", "", "(变1>3)||nonsense", "T", "");
    row("expression from [串n]", "串3->(变1>3)\n变1->5", "", "[串3]", "T", "");
    row("expression from clipboard", "", "(串1==)", "[复制]", "T", "");

    row("|| goes on to a bad part", "变1->1", "", "(变1>3)||nonsense", "",
        "对比->(变1>3)||nonsense(比较式错误:nonsense)");
    row("empty part", "变1->1", "", "(变1>3)||", "", "对比->(变1>3)||(比较式错误:)");
    row("single =", "", "", "(变1=3)", "", "对比->(变1=3)(比较符错误:=)");
    row("no brackets", "", "", "变1>3", "", "对比->变1>3(比较式错误:变1>3)");
    row("< is escaped", "", "", "变1<3", "", "对比->变1&lt;3(比较式错误:变1&lt;3)");
    row("left 串0", "", "", "(串0==a)", "", "对比->(串0==a)(串n与变n的范围是1-100)");
    row("left 变101", "", "", "(变101>1)", "", "对比->(变101>1)(串n与变n的范围是1-100)");
    row("right [变101]", "", "", "(变1==[变101])", "",
        "对比->(变1==[变101])(串n与变n的范围是1-100)");
    row("right [串0]", "", "", "(串1==[串0])", "", "对比->(串1==[串0])(串n与变n的范围是1-100)");
}

void TstCoreCommands::compare()
{
    QFETCH(QString, prefix);
    QFETCH(QString, clipboard);
    QFETCH(QString, expression);
    QFETCH(QString, outcome);
    QFETCH(QString, error);
    const QString script
        = prefix + "\n对比->" + expression + "\n{\n复制->T\n}\nelse\n{\n复制->F\n}\n复制->end";
    ScriptRun run;
    run.clipboard = clipboard;
    const RunRecord record = run.runScript(script);
    if (error.isEmpty()) {
        QCOMPARE(record.messages, QStringList {});
        QCOMPARE(record.clipboardWrites, (QStringList {outcome, "end"}));
    } else {
        const int line = prefix.isEmpty() ? 1 : prefix.count('\n') + 2;
        QCOMPARE(record.messages, QStringList {::error(line, error)});
        QCOMPARE(record.clipboardWrites, QStringList {});
    }
}

void TstCoreCommands::clipboardCondition_data()
{
    QTest::addColumn<QString>("prefix");
    QTest::addColumn<QString>("clipboard");
    QTest::addColumn<QString>("argument");
    QTest::addColumn<QString>("outcome");

    QTest::newRow("equal") << ""
                           << "abc"
                           << "abc"
                           << "T";
    QTest::newRow("clipboard trimmed") << ""
                                       << "  abc\r\n"
                                       << "abc"
                                       << "T";
    QTest::newRow("differs") << ""
                             << "abc"
                             << "abd"
                             << "F";
    QTest::newRow("case-sensitive") << ""
                                    << "ABC"
                                    << "abc"
                                    << "F";
    QTest::newRow("from [串n]") << "串1->xy"
                                << "xy"
                                << "[串1]"
                                << "T";
    QTest::newRow("from text[变n]") << "变2->7"
                                    << "7"
                                    << "n[变2]"
                                    << "T";
    QTest::newRow("empty variable, empty clipboard") << ""
                                                     << ""
                                                     << "[串1]"
                                                     << "T";
    QTest::newRow("[复制] is plain text") << ""
                                          << "[复制]"
                                          << "[复制]"
                                          << "T";
    QTest::newRow("[复制] is not the clipboard") << ""
                                                 << "abc"
                                                 << "[复制]"
                                                 << "F";
}

void TstCoreCommands::clipboardCondition()
{
    QFETCH(QString, prefix);
    QFETCH(QString, clipboard);
    QFETCH(QString, argument);
    QFETCH(QString, outcome);
    ScriptRun run;
    run.clipboard = clipboard;
    const RunRecord record = run.runScript(
        prefix + "\n已复制->" + argument + "\n{\n串9->T\n}\nelse\n{\n串9->F\n}\n复制->[串9]");
    QCOMPARE(record.messages, QStringList {});
    QCOMPARE(record.clipboardWrites, QStringList {outcome});
}

void TstCoreCommands::blocks_data()
{
    QTest::addColumn<QString>("script");
    QTest::addColumn<QStringList>("writes");

    // (串1==) is true at the start of a run, (串1==x) false.
    QTest::newRow("true: block runs, else skipped")
        << "对比->(串1==)\n{\n复制->a\n}\nelse\n{\n复制->b\n}\n复制->c" << QStringList {"a", "c"};
    QTest::newRow("false: block skipped, else runs")
        << "对比->(串1==x)\n{\n复制->a\n}\nelse\n{\n复制->b\n}\n复制->c" << QStringList {"b", "c"};
    QTest::newRow("false without else")
        << "对比->(串1==x)\n{\n复制->a\n}\n复制->c" << QStringList {"c"};
    QTest::newRow("false skips nested blocks") << "对比->(串1==x)\n{\n对比->(串1==)\n{\n复制->a\n}"
                                                  "\nelse\n{\n复制->b\n}\n复制->c\n}\nelse\n{"
                                                  "\n复制->d\n}\n复制->e"
                                               << QStringList {"d", "e"};
    QTest::newRow("true skips nested else block") << "对比->(串1==)\n{\n复制->a\n}\nelse\n{\n对比->"
                                                     "(串1==)\n{\n复制->b\n}\n复制->c\n}\n复制->d"
                                                  << QStringList {"a", "d"};
    QTest::newRow("inner false inside true") << "对比->(串1==)\n{\n对比->(串1==x)\n{\n复制->a\n}"
                                                "\nelse\n{\n复制->b\n}\n复制->c\n}\n复制->d"
                                             << QStringList {"b", "c", "d"};
    QTest::newRow("no { after the condition")
        << "对比->(串1==x)\n复制->a\n{\n复制->b\n}" << QStringList {"a", "b"};
    QTest::newRow("no { after 已复制") << "已复制->zzz\n复制->a" << QStringList {"a"};
    QTest::newRow("{ without }") << "对比->(串1==x)\n{\n复制->a" << QStringList {"a"};
    QTest::newRow("condition near the end") << "复制->a\n对比->(串1==x)\n{" << QStringList {"a"};
    QTest::newRow("else skipping starts two lines below")
        << "复制->a\nelse\n}\n复制->b\n}\n复制->c" << QStringList {"a", "c"};
    QTest::newRow("lone else skips its block")
        << "复制->a\nelse\n{\n复制->b\n}\n复制->c" << QStringList {"a", "c"};
}

void TstCoreCommands::blocks()
{
    QFETCH(QString, script);
    QFETCH(QStringList, writes);
    ScriptRun run;
    const RunRecord record = run.runScript(script);
    QCOMPARE(record.clipboardWrites, writes);
    QVERIFY(!reportedError(record));
}

void TstCoreCommands::loops_data()
{
    QTest::addColumn<QString>("script");
    QTest::addColumn<QStringList>("writes");

    QTest::newRow("three times") << "循环1->3\n{\n复制->x\n循环1->3\n}\n复制->end"
                                 << QStringList {"x", "x", "x", "end"};
    QTest::newRow("once") << "循环1->1\n{\n复制->x\n循环1->1\n}\n复制->end"
                          << QStringList {"x", "end"};
    QTest::newRow("count not a number")
        << "循环1->abc\n{\n复制->x\n循环1->3\n}" << QStringList {"x"};
    QTest::newRow("end line count unused")
        << "循环1->2\n{\n复制->x\n循环1->9\n}" << QStringList {"x", "x"};
    QTest::newRow("bare 循环") << "循环->2\n{\n复制->x\n循环->2\n}" << QStringList {"x", "x"};
    QTest::newRow("nested, other name")
        << "循环1->2\n{\n复制->o\n循环2->3\n{\n复制->i\n循环2->3\n}\n循环1->2\n}"
        << QStringList {"o", "i", "i", "i", "o", "i", "i", "i"};
    QTest::newRow("name that begins another")
        << "循环1->2\n{\n循环10->2\n{\n复制->x\n循环10->2\n}\n循环1->2\n}"
        << QStringList {"x", "x", "x", "x"};
    QTest::newRow("re-entered in every pass")
        << "执行->2\n循环A->2\n{\n复制->x\n循环A->2\n}" << QStringList {"x", "x", "x", "x"};
    QTest::newRow("end never entered") << "复制->a\n循环9->3\n}\n复制->b" << QStringList {"a", "b"};
    QTest::newRow("loop line last") << "复制->a\n循环1->3" << QStringList {"a"};
}

void TstCoreCommands::loops()
{
    QFETCH(QString, script);
    QFETCH(QStringList, writes);
    ScriptRun run;
    const RunRecord record = run.runScript(script);
    QCOMPARE(record.clipboardWrites, writes);
    QVERIFY(!reportedError(record));
}

QTEST_GUILESS_MAIN(TstCoreCommands)
#include "tst_corecommands.moc"
