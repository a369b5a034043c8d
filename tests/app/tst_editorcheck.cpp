// The check of the editor's script once typing pauses (problem marks, their tooltips and count)
// and the live trace of a run in the editor.
#include "app/editorcheck.h"
#include "app/editormarks.h"
#include "app/editortrace.h"
#include "scriptrun.h"
#include "testwindow.h"

#include <QAbstractTextDocumentLayout>
#include <QLabel>
#include <QPushButton>
#include <QScrollBar>
#include <QTextBlock>
#include <QToolTip>
#include <QtTest>

namespace {

using Severity = checker::Severity;
using RunLine = EditorMarks::RunLine;

// The extra selections as "kind@line", kind: error, warning, running, failed.
QStringList marksOf(QTextEdit *edit)
{
    QStringList out;
    for (const QTextEdit::ExtraSelection &s : edit->extraSelections()) {
        QString kind;
        if (s.format == EditorMarks::problemFormat(Severity::Error))
            kind = QStringLiteral("error");
        else if (s.format == EditorMarks::problemFormat(Severity::Warning))
            kind = QStringLiteral("warning");
        else if (s.format == EditorMarks::runLineFormat(RunLine::Running))
            kind = QStringLiteral("running");
        else if (s.format == EditorMarks::runLineFormat(RunLine::Failed))
            kind = QStringLiteral("failed");
        out << kind + QLatin1Char('@') + QString::number(s.cursor.block().blockNumber());
    }
    return out;
}

// The marks of one kind: "running" → {"running@3"} …
QStringList marksOf(QTextEdit *edit, const QString &kind)
{
    return marksOf(edit).filter(kind + QLatin1Char('@'));
}

QString toolTipOverLine(QTextEdit *edit, QWidget *target, int line)
{
    const QTextBlock block = edit->document()->findBlockByNumber(line);
    const QRectF box = edit->document()->documentLayout()->blockBoundingRect(block);
    const QPoint inViewport(
        4, int(box.center().y()) - edit->verticalScrollBar()->value());
    QPoint at = target->mapFromGlobal(edit->viewport()->mapToGlobal(inViewport));
    at.setX(qMax(2, at.x()));
    QToolTip::hideText(); // it goes after a moment
    if (!QTest::qWaitFor([] { return !QToolTip::isVisible(); }))
        return QStringLiteral("(the last tooltip stayed)");
    QHelpEvent help(QEvent::ToolTip, at, target->mapToGlobal(at));
    QApplication::sendEvent(target, &help);
    return QToolTip::isVisible() ? QToolTip::text() : QString();
}

// The character format of every fragment of a document, in order.
QList<QTextFormat> characterFormats(QTextDocument *document)
{
    QList<QTextFormat> formats;
    for (QTextBlock block = document->begin(); block.isValid(); block = block.next()) {
        for (auto it = block.begin(); !it.atEnd(); ++it)
            formats << it.fragment().charFormat();
    }
    return formats;
}

struct CheckWindow : TestWindow
{
    QTextEdit *edit = editor();
    EditorCheck *check = edit->findChild<EditorCheck *>();
    QLabel *summary = child<QLabel>("lb_CheckSummary");
    QPushButton *runButton = child<QPushButton>("pBtn_ExecuteInstruction");

    void showWindow()
    {
        window->resize(900, 500);
        window->show();
        QVERIFY(QTest::qWaitForWindowExposed(window.get()));
    }
    void show(const QString &text)
    {
        edit->setPlainText(text);
        check->checkNow();
    }
    // Runs the editor's text from the button and waits for the end.
    void runToEnd()
    {
        runButton->click();
        QTRY_VERIFY_WITH_TIMEOUT(runButton->isEnabled(), 10000);
        QTRY_VERIFY(!window->instructionThread().isRunning());
    }
};

} // namespace

class TestEditorCheck : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { QApplication::setFont(QFont(QStringLiteral("Sans Serif"), 9)); }

    void summaryText_data()
    {
        QTest::addColumn<int>("errors");
        QTest::addColumn<int>("warnings");
        QTest::addColumn<QString>("plain");
        QTest::newRow("none") << 0 << 0 << QString();
        QTest::newRow("errors") << 2 << 0 << QStringLiteral("2个错误");
        QTest::newRow("warnings") << 0 << 1 << QStringLiteral("1个警告");
        QTest::newRow("both") << 2 << 1 << QStringLiteral("2个错误 1个警告");
    }

    void summaryText()
    {
        QFETCH(int, errors);
        QFETCH(int, warnings);
        QFETCH(QString, plain);
        QTextDocument shown;
        shown.setHtml(checkSummary(errors, warnings));
        QCOMPARE(shown.toPlainText(), plain);
    }

    void placeText_data()
    {
        QTest::addColumn<int>("index");
        QTest::addColumn<QString>("file");
        QTest::addColumn<int>("line");
        QTest::addColumn<QString>("text");
        QTest::newRow("own text") << 4 << QString() << 3 << QStringLiteral("第5行 (原文第3行)");
        QTest::newRow("inserted")
            << 4 << QStringLiteral("/home/u/lib.zt") << 3 << QStringLiteral("第5行 (lib.zt:3)");
        QTest::newRow("no origin") << 0 << QString() << 0 << QStringLiteral("第1行");
    }

    void placeText()
    {
        QFETCH(int, index);
        QFETCH(QString, file);
        QFETCH(int, line);
        QFETCH(QString, text);
        QCOMPARE(runPlaceText(index, {file, line, false}), text);
    }

    // Several problems on a line make one mark, an error winning over a warning; the tooltip
    // holds every message of its line.
    void marksMergePerLine()
    {
        QTextEdit edit;
        edit.setPlainText(QStringLiteral("a->1\n    b->2\nc->3\n\nd->4"));
        EditorMarks marks(&edit);
        marks.setProblems({{1, Severity::Warning, QStringLiteral("第2行: 甲")},
            {1, Severity::Error, QStringLiteral("第2行: 乙")},
            {2, Severity::Warning, QStringLiteral("第3行: 丙")}, {9, Severity::Error, "x"}});
        QCOMPARE(marksOf(&edit), (QStringList {"error@1", "warning@2"}));
        // Over the line's text, without its indentation.
        QCOMPARE(edit.extraSelections().at(0).cursor.selectedText(), QStringLiteral("b->2"));
        QCOMPARE(marks.toolTipAt(edit.document()->findBlockByNumber(1)),
            QStringLiteral("第2行: 甲\n第2行: 乙"));
        QCOMPARE(marks.toolTipAt(edit.document()->findBlockByNumber(0)), QString());

        // The run line comes first, and goes without taking the problems along.
        marks.setRunLine(4, RunLine::Running);
        QCOMPARE(marksOf(&edit), (QStringList {"running@4", "error@1", "warning@2"}));
        marks.setRunLine(0, RunLine::Failed);
        QCOMPARE(marksOf(&edit), (QStringList {"failed@0", "error@1", "warning@2"}));
        marks.clearRunLine();
        QCOMPARE(marksOf(&edit), (QStringList {"error@1", "warning@2"}));

        // A line added above moves the marks and their tooltips along.
        QTextCursor(edit.document()).insertText(QStringLiteral("new->0\n"));
        QCOMPARE(marksOf(&edit), (QStringList {"error@2", "warning@3"}));
        QCOMPARE(marks.toolTipAt(edit.document()->findBlockByNumber(3)),
            QStringLiteral("第3行: 丙"));
    }

    // The check runs once typing pauses, never within the keystroke.
    void checkWaitsForAPause()
    {
        CheckWindow w;
        w.show(QStringLiteral("鼠标->1,1"));
        QCOMPARE(marksOf(w.edit), QStringList());
        QVERIFY(w.summary->isHidden());
        w.setCursor(w.edit->document()->characterCount() - 1);
        w.key(Qt::Key_Return);
        w.type(QStringLiteral("跳舞->1"));
        QCOMPARE(marksOf(w.edit), QStringList());
        QTRY_COMPARE(marksOf(w.edit), QStringList {"error@1"});
        QVERIFY(!w.summary->isHidden());
        QCOMPARE(w.summary->text(), checkSummary(1, 0));
    }

    // The check after a pause runs in the background; a result for text typed over since
    // never shows.
    void staleResultsAreDropped()
    {
        CheckWindow w;
        w.show(QStringLiteral("鼠标->1,1"));
        w.edit->setPlainText(QStringLiteral("跳舞->1"));
        w.check->startCheck();
        w.edit->setPlainText(QStringLiteral("鼠标->1,1\n飞->2")); // before the result arrives
        w.check->startCheck();
        QTRY_COMPARE(marksOf(w.edit), QStringList {"error@1"});
        QTest::qWait(100); // the first result, if it came late, must not replace it
        QCOMPARE(marksOf(w.edit), QStringList {"error@1"});
    }

    // Every problem is marked on its own editor line, with its prepared number in the
    // tooltip over the line and over its gutter number; the colours stay the document's.
    void problemsAreMarkedOnTheirLines()
    {
        CheckWindow w;
        const QString text = QStringLiteral("\n// 说明\n鼠标->1,1\n\n  跳舞->1\n/* a\n*/\n飞->2");
        w.edit->setPlainText(text);
        const QList<QTextFormat> formats = characterFormats(w.edit->document());
        w.check->checkNow();
        QCOMPARE(marksOf(w.edit), (QStringList {"error@4", "error@7"}));
        QCOMPARE(characterFormats(w.edit->document()), formats);
        QCOMPARE(w.summary->text(), checkSummary(2, 0));

        w.showWindow();
        QCOMPARE(toolTipOverLine(w.edit, w.edit->viewport(), 4),
            QStringLiteral("第2行: 无该命令类型"));
        QCOMPARE(toolTipOverLine(w.edit, w.edit->viewport(), 2), QString());
        auto *gutter = w.edit->findChild<QWidget *>(QStringLiteral("editorGutter"));
        QCOMPARE(toolTipOverLine(w.edit, gutter, 7), QStringLiteral("第3行: 无该命令类型"));

        // Mended, the marks and the count go.
        w.show(QStringLiteral("鼠标->1,1"));
        QCOMPARE(marksOf(w.edit), QStringList());
        QVERIFY(w.summary->isHidden());
    }

    // The script shown at start-up is checked without any typing.
    void shownScriptIsChecked()
    {
        TestWindow w({}, {{QStringLiteral("Quorvel.zt"), QByteArray("鼠标->1,1\n跳舞->1")}});
        QCOMPARE(w.editor()->toPlainText(), QStringLiteral("鼠标->1,1\n跳舞->1"));
        QTRY_COMPARE(marksOf(w.editor()), QStringList {"error@1"});
    }

    void failingLineIsSignalled()
    {
        ScriptRun run;
        const RunRecord record = run.runScript(QStringLiteral("鼠标->1,1\n// c\n跳舞->1\n鼠标->2,2"));
        QCOMPARE(record.failedLines, QVector<int> {1});
        QCOMPARE(record.errorCount(), 1);
        QCOMPARE(run.runScript(QStringLiteral("鼠标->1,1")).failedLines, QVector<int>());
    }

    // A run of the editor's text marks the line it is at, from its first, and an error leaves
    // the failing line marked until the next edit.
    void traceOfAnEditorRun()
    {
        CheckWindow w;
        w.show(QStringLiteral("\n鼠标->1,1\n// c\n延时->1\n\n跳舞->1"));
        w.runButton->click();
        QCOMPARE(marksOf(w.edit, "running"), QStringList {"running@1"});
        w.window->on_Signal_StepNum(1);
        QCOMPARE(marksOf(w.edit, "running"), QStringList {"running@3"});
        QTRY_VERIFY_WITH_TIMEOUT(w.runButton->isEnabled(), 10000);
        QTRY_COMPARE(marksOf(w.edit, "failed"), QStringList {"failed@5"});
        QCOMPARE(marksOf(w.edit, "running"), QStringList());
        QVERIFY(w.summary->text() == checkSummary(1, 0)); // the count, not a place

        w.setCursor(0);
        w.type(QStringLiteral(" "));
        QCOMPARE(marksOf(w.edit, "failed"), QStringList());
    }

    void traceEndsWithTheRun()
    {
        CheckWindow w;
        w.show(QStringLiteral("鼠标->1,1\n鼠标->2,2"));
        w.runToEnd();
        QCOMPARE(marksOf(w.edit, "running"), QStringList());
        QCOMPARE(marksOf(w.edit, "failed"), QStringList());
    }

    // The line is kept in view without moving the user's cursor; a line in view stays put.
    void traceScrollsTheLineIntoView()
    {
        CheckWindow w;
        w.showWindow();
        QStringList lines;
        for (int i = 0; i < 300; ++i)
            lines << QStringLiteral("延时->1");
        w.show(lines.join(QLatin1Char('\n')));
        w.setCursor(5);
        w.runButton->click();
        QScrollBar *bar = w.edit->verticalScrollBar();
        QCOMPARE(bar->value(), 0);
        w.window->on_Signal_StepNum(250);
        QTRY_COMPARE(marksOf(w.edit, "running"), QStringList {"running@250"});
        const QRect line = w.edit->cursorRect(
            QTextCursor(w.edit->document()->findBlockByNumber(250)));
        QVERIFY(w.edit->viewport()->rect().contains(line));
        QCOMPARE(w.edit->textCursor().position(), 5);
        const int scroll = bar->value();
        QTest::qWait(RunTrace::paceMs + 10);
        w.window->on_Signal_StepNum(252);
        QTRY_COMPARE(marksOf(w.edit, "running"), QStringList {"running@252"});
        QCOMPARE(bar->value(), scroll);

        w.window->instructionThread().executeFlag = false;
        QTRY_VERIFY_WITH_TIMEOUT(w.runButton->isEnabled(), 10000);
    }

    // Steps faster than the pace show the latest one once the pace allows.
    void fastStepsShowTheLatest()
    {
        CheckWindow w;
        w.show(QStringLiteral("延时->1\n延时->2\n延时->3\n延时->4"));
        w.runButton->click();
        w.window->on_Signal_StepNum(1);
        w.window->on_Signal_StepNum(2);
        w.window->on_Signal_StepNum(3);
        QCOMPARE(marksOf(w.edit, "running"), QStringList {"running@1"});
        QTRY_COMPARE(marksOf(w.edit, "running"), QStringList {"running@3"});
        w.window->instructionThread().executeFlag = false;
        QTRY_VERIFY_WITH_TIMEOUT(w.runButton->isEnabled(), 10000);
    }

    // After a refresh the run reads the editor's new text: its lines are traced by their new
    // origins.
    void refreshKeepsTheNewOrigins()
    {
        CheckWindow w;
        w.show(QStringLiteral("延时->1\n延时->2"));
        w.runButton->click();
        w.edit->setPlainText(QStringLiteral("\n\n延时->1\n延时->2"));
        w.window->on_Signal_RefreshInstructions();
        w.window->on_Signal_StepNum(1);
        QCOMPARE(marksOf(w.edit, "running"), QStringList {"running@3"});
        w.window->instructionThread().executeFlag = false;
        QTRY_VERIFY_WITH_TIMEOUT(w.runButton->isEnabled(), 10000);
    }

    // A run of a text the editor does not show tells its place in the summary label instead.
    void runOutsideTheEditorTellsItsPlace()
    {
        CheckWindow w;
        w.show(QStringLiteral("鼠标->1,1"));
        w.window->ExecuteInstructions(QStringLiteral("鼠标->5,5\n\n跳舞->2"));
        QCOMPARE(w.summary->text(), QStringLiteral("第1行 (原文第1行)"));
        QVERIFY(!w.summary->isHidden());
        QCOMPARE(marksOf(w.edit, "running"), QStringList());
        QTRY_VERIFY_WITH_TIMEOUT(w.runButton->isEnabled(), 10000);
        QTRY_VERIFY(w.summary->text().contains(QStringLiteral("第2行 (原文第3行)")));
        QCOMPARE(marksOf(w.edit, "failed"), QStringList());

        // The next edit gives the label back to the count.
        w.setCursor(0);
        w.type(QStringLiteral(" "));
        QVERIFY(w.summary->isHidden());
    }
};

QTEST_MAIN(TestEditorCheck)
#include "tst_editorcheck.moc"
