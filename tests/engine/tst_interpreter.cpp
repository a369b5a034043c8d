#include "scriptrun.h"

#include <QSemaphore>
#include <QtTest>

// The interpreter's own commands and its run loop, on a real thread without pacing. Variables
// are observed through 复制 lines, which show up as clipboard writes.
class TstInterpreter : public QObject
{
    Q_OBJECT

private slots:
    void repetition_data();
    void repetition();
    void pacingAndSteps_data();
    void pacingAndSteps();
    void variables_data();
    void variables();
    void freshStateEveryRun();
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
    void jumps_data();
    void jumps();
    void refresh_data();
    void refresh();
    void lineErrors_data();
    void lineErrors();
    void stopFromHook();
    void stopDuringPauseFromAnotherThread();
};

using Ints = QVector<int>;

static QString error(int line, const QString &text)
{
    return QStringLiteral("<span style=\"color:red;\">第") + QString::number(line)
        + QStringLiteral("行有误：") + text + QStringLiteral("</span>");
}

static bool reportedError(const RunRecord &record)
{
    return record.messages.join(QString()).contains(QStringLiteral("行有误"));
}

static QString progress(int remaining)
{
    return QStringLiteral("<span style=\"color:red;\">正进行循环操作,剩余 ")
        + QString::number(remaining) + QStringLiteral(" 次。</span>");
}

void TstInterpreter::repetition_data()
{
    QTest::addColumn<QString>("script");
    QTest::addColumn<bool>("fileStart");
    QTest::addColumn<QString>("clipboard");
    QTest::addColumn<QStringList>("writes");
    QTest::addColumn<QStringList>("messages");

    const QString hint = RunRecord::kRunHint;
    QTest::newRow("three passes") << "执行->3\n复制->x" << false << ""
                                  << QStringList {"x", "x", "x"}
                                  << QStringList {progress(2), progress(1), hint};
    QTest::newRow("two passes") << "执行->2\n复制->x" << false << "" << QStringList {"x", "x"}
                                << QStringList {progress(1), hint};
    QTest::newRow("one pass") << "执行->1\n复制->x" << false << "" << QStringList {"x"}
                              << QStringList {};
    QTest::newRow("zero") << "执行->0\n复制->x" << false << "" << QStringList {"x"}
                          << QStringList {};
    QTest::newRow("no number") << "执行->abc\n复制->x" << false << "" << QStringList {"x"}
                               << QStringList {};
    QTest::newRow("lines before run once")
        << "复制->a\n执行->2\n复制->b" << false << "" << QStringList {"a", "b", "b"}
        << QStringList {progress(1), hint};
    QTest::newRow("count from 变n")
        << "变1->3\n执行->[变1]\n复制->x" << false << "" << QStringList {"x", "x", "x"}
        << QStringList {progress(2), progress(1), hint};
    QTest::newRow("count from clipboard")
        << "执行->[复制]\n复制->x" << false << "2" << QStringList {"x", "x"}
        << QStringList {progress(1), hint};
    QTest::newRow("later 执行 replaces")
        << "执行->3\n复制->x\n执行->1" << false << "" << QStringList {"x"} << QStringList {};
    QTest::newRow("截止 ends the pass")
        << "执行->2\n复制->a\n截止->0\n复制->b" << false << "" << QStringList {"a", "a"}
        << QStringList {progress(1), hint};
    QTest::newRow("截止 without repetition")
        << "复制->a\n截止->\n复制->b" << false << "" << QStringList {"a"} << QStringList {};
    QTest::newRow("empty list") << "" << false << "" << QStringList {} << QStringList {};
    QTest::newRow("file start: no progress, complete")
        << "执行->2\n复制->x" << true << "" << QStringList {"x", "x"} << QStringList {"complete"};
    QTest::newRow("file start: one pass")
        << "复制->x" << true << "" << QStringList {"x"} << QStringList {"complete"};
    QTest::newRow("file start: empty list")
        << "" << true << "" << QStringList {} << QStringList {"complete"};
}

void TstInterpreter::repetition()
{
    QFETCH(QString, script);
    QFETCH(bool, fileStart);
    QFETCH(QString, clipboard);
    QFETCH(QStringList, writes);
    QFETCH(QStringList, messages);
    ScriptRun run;
    run.fileStartMode = fileStart;
    run.clipboard = clipboard;
    const RunRecord record = run.runScript(script);
    QCOMPARE(record.clipboardWrites, writes);
    QCOMPARE(record.messages, messages);
}

void TstInterpreter::pacingAndSteps_data()
{
    QTest::addColumn<QStringList>("list");
    QTest::addColumn<Ints>("steps");
    QTest::addColumn<Ints>("pauses");

    QTest::newRow("three lines") << QStringList {"复制->a", "复制->b", "复制->c"} << Ints {1, 2, 3}
                                 << Ints {500, 50, 50, 50, 50};
    QTest::newRow("empty list") << QStringList {} << Ints {} << Ints {50};
    QTest::newRow("lines without effect")
        << QStringList {"{", "a->b->c", "}"} << Ints {1, 2, 3} << Ints {500, 50, 50, 50, 50};
    // The else block needs a line after its "{" to be entered; otherwise the run resumes at
    // the "else" itself.
    QTest::newRow("else at the very end") << QStringList {"对比->(串1==x)", "{", "复制->a", "}",
        "else", "{"} << Ints {4, 5, 6} << Ints {500, 50, 50, 50, 50};
    // The pass boundary pauses too, but executes nothing and sends no step.
    QTest::newRow("repetition") << QStringList {"执行->2", "复制->a"} << Ints {1, 2, 2}
                                << Ints {500, 50, 50, 50, 50, 50};
}

void TstInterpreter::pacingAndSteps()
{
    QFETCH(QStringList, list);
    QFETCH(Ints, steps);
    QFETCH(Ints, pauses);
    ScriptRun run;
    const RunRecord record = run.runList(list);
    QCOMPARE(record.steps, steps);
    QCOMPARE(record.pauses, pauses);
}

void TstInterpreter::variables_data()
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

void TstInterpreter::variables()
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

void TstInterpreter::freshStateEveryRun()
{
    ScriptRun run;
    run.runScript(QStringLiteral("串1->x\n变1->5\n执行->3\n循环1->2\n{\n循环1->2\n}"));
    const RunRecord second
        = run.runScript(QStringLiteral("复制->[串1]\n复制->[变1]\n变2->0>>\n复制->[变2]"));
    QCOMPARE(second.clipboardWrites, (QStringList {"", "", "0"}));
    QCOMPARE(second.messages, QStringList {});
}

void TstInterpreter::indexErrors_data()
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

void TstInterpreter::indexErrors()
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

void TstInterpreter::compare_data()
{
    // prefix: lines before the 对比 line; outcome: which branch ran, T or F, or empty when the
    // line reports error and the run ends.
    QTest::addColumn<QString>("prefix");
    QTest::addColumn<QString>("clipboard");
    QTest::addColumn<QString>("expression");
    QTest::addColumn<QString>("outcome");
    QTest::addColumn<QString>("error");

    QTest::newRow("串 ==") << "串1->abc"
                           << ""
                           << "(串1==abc)"
                           << "T"
                           << "";
    QTest::newRow("串 == differs") << "串1->abd"
                                   << ""
                                   << "(串1==abc)"
                                   << "F"
                                   << "";
    QTest::newRow("== is case-sensitive") << "串1->abc"
                                          << ""
                                          << "(串1==ABC)"
                                          << "F"
                                          << "";
    QTest::newRow("empty == empty") << ""
                                    << ""
                                    << "(串1==)"
                                    << "T"
                                    << "";
    QTest::newRow(">") << "变1->5"
                       << ""
                       << "(变1>3)"
                       << "T"
                       << "";
    QTest::newRow("> equal") << "变1->5"
                             << ""
                             << "(变1>5)"
                             << "F"
                             << "";
    QTest::newRow(">=") << "变1->5"
                        << ""
                        << "(变1>=5)"
                        << "T"
                        << "";
    QTest::newRow(">= less") << "变1->5"
                             << ""
                             << "(变1>=6)"
                             << "F"
                             << "";
    QTest::newRow("<") << "变1->5"
                       << ""
                       << "(变1<6)"
                       << "T"
                       << "";
    QTest::newRow("< equal") << "变1->5"
                             << ""
                             << "(变1<5)"
                             << "F"
                             << "";
    QTest::newRow("<=") << "变1->5"
                        << ""
                        << "(变1<=5)"
                        << "T"
                        << "";
    QTest::newRow("<= more") << "变1->5"
                             << ""
                             << "(变1<=4)"
                             << "F"
                             << "";
    QTest::newRow("negative") << "变1->-2"
                              << ""
                              << "(变1<0)"
                              << "T"
                              << "";
    QTest::newRow("text counts as 0") << "变1->abc"
                                      << ""
                                      << "(变1<1)"
                                      << "T"
                                      << "";
    QTest::newRow("== compares text") << "变1->05"
                                      << ""
                                      << "(变1==5)"
                                      << "F"
                                      << "";
    QTest::newRow("串 compared as integer") << "串1->12"
                                            << ""
                                            << "(串1>9)"
                                            << "T"
                                            << "";
    QTest::newRow("full-width brackets") << "变1->5"
                                         << ""
                                         << "（变1>3）"
                                         << "T"
                                         << "";
    QTest::newRow("mixed brackets") << "变1->5"
                                    << ""
                                    << "（变1>3)"
                                    << "T"
                                    << "";
    QTest::newRow("blanks inside") << "变1->5"
                                   << ""
                                   << "( 变1 > 3 )"
                                   << "T"
                                   << "";
    QTest::newRow("right [串m]") << "串1->ab\n串2->ab"
                                 << ""
                                 << "(串1==[串2])"
                                 << "T"
                                 << "";
    QTest::newRow("right [变m]") << "变1->5\n变2->7"
                                 << ""
                                 << "(变1<[变2])"
                                 << "T"
                                 << "";
    QTest::newRow("right text ending in [串m]") << "串1->x[串2]"
                                                << ""
                                                << "(串1==x[串2])"
                                                << "T"
                                                << "";
    QTest::newRow("|| first true") << "变1->5\n变2->5"
                                   << ""
                                   << "(变1>3)||(变2<1)"
                                   << "T"
                                   << "";
    QTest::newRow("|| second true") << "变1->1\n变2->0"
                                    << ""
                                    << "(变1>3)||(变2<1)"
                                    << "T"
                                    << "";
    QTest::newRow("|| none true") << "变1->1\n变2->5"
                                  << ""
                                  << "(变1>3)||(变2<1)"
                                  << "F"
                                  << "";
    QTest::newRow("|| stops at the first true") << "变1->5"
                                                << ""
                                                << "(变1>3)||nonsense"
                                                << "T"
                                                << "";
    QTest::newRow("expression from [串n]") << "串3->(变1>3)\n变1->5"
                                           << ""
                                           << "[串3]"
                                           << "T"
                                           << "";
    QTest::newRow("expression from clipboard") << ""
                                               << "(串1==)"
                                               << "[复制]"
                                               << "T"
                                               << "";

    QTest::newRow("|| goes on to a bad part") << "变1->1"
                                              << ""
                                              << "(变1>3)||nonsense"
                                              << ""
                                              << "对比->(变1>3)||nonsense(比较式错误:nonsense)";
    QTest::newRow("empty part") << "变1->1"
                                << ""
                                << "(变1>3)||"
                                << ""
                                << "对比->(变1>3)||(比较式错误:)";
    QTest::newRow("single =") << ""
                              << ""
                              << "(变1=3)"
                              << ""
                              << "对比->(变1=3)(比较符错误:=)";
    QTest::newRow("no brackets") << ""
                                 << ""
                                 << "变1>3"
                                 << ""
                                 << "对比->变1>3(比较式错误:变1>3)";
    QTest::newRow("< is escaped") << ""
                                  << ""
                                  << "变1<3"
                                  << ""
                                  << "对比->变1&lt;3(比较式错误:变1&lt;3)";
    QTest::newRow("left 串0") << ""
                              << ""
                              << "(串0==a)"
                              << ""
                              << "对比->(串0==a)(串n与变n的范围是1-100)";
    QTest::newRow("left 变101") << ""
                                << ""
                                << "(变101>1)"
                                << ""
                                << "对比->(变101>1)(串n与变n的范围是1-100)";
    QTest::newRow("right [变101]") << ""
                                   << ""
                                   << "(变1==[变101])"
                                   << ""
                                   << "对比->(变1==[变101])(串n与变n的范围是1-100)";
    QTest::newRow("right [串0]") << ""
                                 << ""
                                 << "(串1==[串0])"
                                 << ""
                                 << "对比->(串1==[串0])(串n与变n的范围是1-100)";
}

void TstInterpreter::compare()
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

void TstInterpreter::clipboardCondition_data()
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

void TstInterpreter::clipboardCondition()
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

void TstInterpreter::blocks_data()
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

void TstInterpreter::blocks()
{
    QFETCH(QString, script);
    QFETCH(QStringList, writes);
    ScriptRun run;
    const RunRecord record = run.runScript(script);
    QCOMPARE(record.clipboardWrites, writes);
    QVERIFY(!reportedError(record));
}

void TstInterpreter::loops_data()
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

void TstInterpreter::loops()
{
    QFETCH(QString, script);
    QFETCH(QStringList, writes);
    ScriptRun run;
    const RunRecord record = run.runScript(script);
    QCOMPARE(record.clipboardWrites, writes);
    QVERIFY(!reportedError(record));
}

void TstInterpreter::jumps_data()
{
    QTest::addColumn<QStringList>("list");
    QTest::addColumn<QStringList>("writes");
    QTest::addColumn<Ints>("steps");
    QTest::addColumn<QStringList>("messages");
    QTest::addColumn<int>("firstLinePauses"); // how often 500 ms were taken

    // Counts 变1 up and jumps back to the first line until it reaches 3.
    const auto backToFirst = [](const QString &jump) {
        return QStringList {"变1->1++", "对比->(变1<3)", "{", jump, "}", "复制->[变1]"};
    };
    const Ints backToFirstSteps {1, 2, 3, 0, 1, 2, 3, 0, 1, 5, 6};

    QTest::newRow("跳到 inside") << QStringList {"复制->a", "跳到->4", "复制->b", "复制->c"}
                                 << QStringList {"a", "c"} << Ints {1, 3, 4} << QStringList {} << 1;
    QTest::newRow("跳到->0 ends") << QStringList {"复制->a", "跳到->0", "复制->b"}
                                  << QStringList {"a"} << Ints {1, 2} << QStringList {} << 1;
    QTest::newRow("跳到 beyond") << QStringList {"复制->a", "跳到->9", "复制->b"}
                                 << QStringList {"a"} << Ints {1, 3} << QStringList {} << 1;
    QTest::newRow("跳到->-1") << QStringList {"复制->a", "跳到->-1", "复制->b"} << QStringList {"a"}
                              << Ints {1, 3} << QStringList {} << 1;
    QTest::newRow("跳到->1") << backToFirst("跳到->1") << QStringList {"3"} << backToFirstSteps
                             << QStringList {} << 3;
    QTest::newRow("跳到 beyond, next pass")
        << QStringList {"执行->2", "复制->a", "跳到->9", "复制->b"} << QStringList {"a", "a"}
        << Ints {1, 2, 4, 2, 4} << QStringList {progress(1), RunRecord::kRunHint} << 1;
    QTest::newRow("跳加->1 is no jump")
        << QStringList {"复制->a", "跳加->1", "复制->b"} << QStringList {"a", "b"} << Ints {1, 2, 3}
        << QStringList {} << 1;
    QTest::newRow("跳加->2") << QStringList {"复制->a", "跳加->2", "复制->b", "复制->c"}
                             << QStringList {"a", "c"} << Ints {1, 3, 4} << QStringList {} << 1;
    QTest::newRow("跳加 to -1 ends") << QStringList {"复制->a", "跳加->-2", "复制->b"}
                                     << QStringList {"a"} << Ints {1, 2} << QStringList {} << 1;
    QTest::newRow("跳加 beyond") << QStringList {"复制->a", "跳加->5", "复制->b"}
                                 << QStringList {"a"} << Ints {1, 3} << QStringList {} << 1;
    QTest::newRow("跳加 below -1") << QStringList {"复制->a", "跳加->-5", "复制->b"}
                                   << QStringList {"a"} << Ints {1, 3} << QStringList {} << 1;
    QTest::newRow("跳加 to index 0")
        << backToFirst("跳加->-3") << QStringList {"3"} << backToFirstSteps << QStringList {} << 3;
    QTest::newRow("跳减->1 runs the line above")
        << QStringList {"跳加->2", "跳到->0", "跳减->1"} << QStringList {} << Ints {2, 1, 2}
        << QStringList {} << 1;
    QTest::newRow("跳减 to index 0")
        << backToFirst("跳减->3") << QStringList {"3"} << backToFirstSteps << QStringList {} << 3;
    QTest::newRow("跳减 to -1 ends, no next pass")
        << QStringList {"执行->2", "跳减->2", "复制->a"} << QStringList {} << Ints {1, 3}
        << QStringList {} << 1;
    QTest::newRow("跳减 beyond") << QStringList {"复制->a", "跳减->5", "复制->b"}
                                 << QStringList {"a"} << Ints {1, 3} << QStringList {} << 1;
}

void TstInterpreter::jumps()
{
    QFETCH(QStringList, list);
    QFETCH(QStringList, writes);
    QFETCH(Ints, steps);
    QFETCH(QStringList, messages);
    QFETCH(int, firstLinePauses);
    ScriptRun run;
    const RunRecord record = run.runList(list);
    QCOMPARE(record.clipboardWrites, writes);
    QCOMPARE(record.steps, steps);
    QCOMPARE(record.messages, messages);
    QCOMPARE(int(record.pauses.count(500)), firstLinePauses);
}

void TstInterpreter::refresh_data()
{
    QTest::addColumn<QStringList>("list");
    QTest::addColumn<QStringList>("refreshed"); // the list the refresh prepares
    QTest::addColumn<QStringList>("writes");
    QTest::addColumn<Ints>("steps");
    QTest::addColumn<Ints>("pauses");

    const QStringList jumpInside {"复制->a", "刷新->4", "复制->b", "复制->c"};
    QTest::newRow("to a line") << jumpInside << jumpInside << QStringList {"a", "c"}
                               << Ints {1, 3, 4} << Ints {500, 50, 200, 50, 50, 50};
    const QStringList toZero {"刷新->0", "复制->a"};
    QTest::newRow("0 ends") << toZero << toZero << QStringList {} << Ints {1}
                            << Ints {500, 200, 50, 50};
    const QStringList beyond {"复制->a", "刷新->7", "复制->b"};
    QTest::newRow("beyond") << beyond << beyond << QStringList {"a"} << Ints {1, 3}
                            << Ints {500, 50, 200, 50, 50};
    QTest::newRow("against the new list")
        << QStringList {"刷新->2", "复制->old"} << QStringList {"复制->x", "复制->y", "复制->z"}
        << QStringList {"y", "z"} << Ints {1, 2, 3} << Ints {500, 200, 50, 50, 50, 50};
    QTest::newRow("to line 1") << QStringList {"刷新->1"} << QStringList {"复制->x"}
                               << QStringList {"x"} << Ints {0, 1}
                               << Ints {500, 200, 50, 500, 50, 50};
}

void TstInterpreter::refresh()
{
    QFETCH(QStringList, list);
    QFETCH(QStringList, refreshed);
    QFETCH(QStringList, writes);
    QFETCH(Ints, steps);
    QFETCH(Ints, pauses);
    ScriptRun run;
    run.onRefresh = [refreshed] { return refreshed; };
    const RunRecord record = run.runList(list);
    QCOMPARE(record.refreshRequests, 1);
    QCOMPARE(record.clipboardWrites, writes);
    QCOMPARE(record.steps, steps);
    QCOMPARE(record.pauses, pauses);
    QCOMPARE(record.messages, QStringList {});
}

void TstInterpreter::lineErrors_data()
{
    QTest::addColumn<QStringList>("list");
    QTest::addColumn<bool>("fileStart");
    QTest::addColumn<QStringList>("messages");
    QTest::addColumn<QStringList>("writes");
    QTest::addColumn<Ints>("steps");
    QTest::addColumn<Ints>("pauses");

    const QString unknownFirst
        = QStringLiteral("<span style=\"color:red;\">第1行有误：foo->1(无该命令类型)</span>");
    QTest::newRow("unknown command, first line")
        << QStringList {"foo->1", "复制->a"} << false << QStringList {unknownFirst}
        << QStringList {} << Ints {} << Ints {500, 50};
    QTest::newRow("unknown command with <")
        << QStringList {"复制->a", "复制->b", "bar-><x>", "复制->c"} << false
        << QStringList {QStringLiteral(
               "<span style=\"color:red;\">第3行有误：bar->&lt;x>(无该命令类型)</span>")}
        << QStringList {"a", "b"} << Ints {1, 2} << Ints {500, 50, 50, 50};
    QTest::newRow("file start: error, then complete")
        << QStringList {"foo->1"} << true << QStringList {unknownFirst, "complete"}
        << QStringList {} << Ints {} << Ints {500, 50};
    QTest::newRow("empty command word")
        << QStringList {"->x"} << false << QStringList {error(1, "->x(无该命令类型)")}
        << QStringList {} << Ints {} << Ints {500, 50};
    QTest::newRow("words compare exactly")
        << QStringList {"复制x->a"} << false << QStringList {error(1, "复制x->a(无该命令类型)")}
        << QStringList {} << Ints {} << Ints {500, 50};
    QTest::newRow("two arrows pass silently")
        << QStringList {"a->b->c", "复制->x"} << false << QStringList {} << QStringList {"x"}
        << Ints {1, 2} << Ints {500, 50, 50, 50};
    QTest::newRow("blanks around the arrow")
        << QStringList {"  复制 -> x  "} << false << QStringList {} << QStringList {"x"} << Ints {1}
        << Ints {500, 50, 50};
}

void TstInterpreter::lineErrors()
{
    QFETCH(QStringList, list);
    QFETCH(bool, fileStart);
    QFETCH(QStringList, messages);
    QFETCH(QStringList, writes);
    QFETCH(Ints, steps);
    QFETCH(Ints, pauses);
    ScriptRun run;
    run.fileStartMode = fileStart;
    const RunRecord record = run.runList(list);
    QCOMPARE(record.messages, messages);
    QCOMPARE(record.clipboardWrites, writes);
    QCOMPARE(record.steps, steps);
    QCOMPARE(record.pauses, pauses);
    QVERIFY(!run.thread.executeFlag);
}

void TstInterpreter::stopFromHook()
{
    // The stop arrives while 刷新 is being carried out: that line finishes, nothing after it
    // runs, and the end steps (pause, "complete") still happen.
    const QStringList list {"复制->a", "刷新->3", "复制->b", "复制->c"};
    ScriptRun run;
    run.fileStartMode = true;
    run.onRefresh = [&] {
        run.thread.executeFlag = false;
        return list;
    };
    const RunRecord record = run.runList(list);
    QCOMPARE(record.clipboardWrites, QStringList {"a"});
    QCOMPARE(record.steps, (Ints {1, 2}));
    QCOMPARE(record.pauses, (Ints {500, 50, 200, 50, 50}));
    QCOMPARE(record.messages, QStringList {"complete"});
}

namespace {

// Holds the interpreter inside one chosen pause until the test lets it go.
class GatedSleeper : public Sleeper
{
public:
    explicit GatedSleeper(int gate)
        : m_gate(gate)
    {
    }
    void sleepMs(int ms) override
    {
        int count = 0;
        {
            QMutexLocker lock(&m_mutex);
            m_pauses << ms;
            count = m_pauses.size();
        }
        if (count == m_gate) {
            entered.release();
            leave.acquire();
        }
    }
    Ints pauses() const
    {
        QMutexLocker lock(&m_mutex);
        return m_pauses;
    }

    QSemaphore entered;
    QSemaphore leave;

private:
    const int m_gate;
    mutable QMutex m_mutex;
    Ints m_pauses;
};

} // namespace

void TstInterpreter::stopDuringPauseFromAnotherThread()
{
    GatedSleeper sleeper(3); // 500 before line 1, 50 after line 1, 50 after line 2
    QInstructionThread thread;
    thread.setSleeper(&sleeper);
    thread.setInstructionList({"复制->a", "复制->b", "复制->c", "复制->d"});
    QMutex mutex;
    QStringList writes;
    QObject context;
    connect(
        &thread, &QInstructionThread::ClipboardSetText, &context,
        [&](const QString &text) {
            QMutexLocker lock(&mutex);
            writes << text;
        },
        Qt::DirectConnection);

    thread.executeFlag = true;
    thread.start();
    QVERIFY(sleeper.entered.tryAcquire(1, 10000));
    thread.executeFlag = false; // as the stop hotkey does, from the GUI thread
    sleeper.leave.release();
    QVERIFY(thread.wait(10000));
    QCOMPARE(writes, (QStringList {"a", "b"}));
    QCOMPARE(sleeper.pauses(), (Ints {500, 50, 50, 50}));
}

QTEST_GUILESS_MAIN(TstInterpreter)
#include "tst_interpreter.moc"
