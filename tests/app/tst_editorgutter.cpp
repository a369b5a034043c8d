// The editor's gutter: which prepared number stands beside which editor line, and that the
// gutter paints them beside their lines wherever the editor is scrolled.
#include "app/editorcheck.h"
#include "app/editorgutter.h"
#include "testwindow.h"

#include <QAbstractTextDocumentLayout>
#include <QScrollBar>
#include <QTextBlock>
#include <QtTest>

using preparation::LineOrigin;

namespace {

preparation::FileReader filesReader(const QMap<QString, QString> &files)
{
    return [files](const QString &path) -> std::optional<QString> {
        if (files.contains(path))
            return files.value(path);
        return std::nullopt;
    };
}

// The labels beside each line of an editor text, joined by "|", as a run prepares the text.
QString labelsOf(const QString &editorText, const QMap<QString, QString> &files)
{
    const QString trimmed = editorText.trimmed();
    const int offset = editorText.leftRef(editorText.indexOf(trimmed.left(1))).count('\n');
    const preparation::PreparedScript prepared
        = preparation::prepareWithOrigins(trimmed, filesReader(files));
    const QStringList lines = editorText.split(QLatin1Char('\n'));
    const QVector<int> shown = gutter::shownLines(prepared.origins, lines, offset);
    QStringList labels;
    for (const gutter::LineNumber &n : gutter::lineNumbers(shown, lines.size()))
        labels << gutter::labelText(n);
    return labels.join(QLatin1Char('|'));
}

// The labels the editor's blocks carry, joined by "|".
QString blockLabels(QTextEdit *edit)
{
    QStringList labels;
    for (QTextBlock b = edit->document()->begin(); b.isValid(); b = b.next())
        labels << gutter::labelText(gutter::fromBlockState(b.userState()));
    return labels.join(QLatin1Char('|'));
}

EditorCheck *checkOf(const TestWindow &w)
{
    return w.editor()->findChild<EditorCheck *>();
}

} // namespace

class TestEditorGutter : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { QApplication::setFont(QFont(QStringLiteral("Sans Serif"), 9)); }

    void labels_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QStringList>("files"); // path, text, path, text …
        QTest::addColumn<QString>("labels");
        const QString lib = QStringLiteral("/x/lib.zt");
        QTest::newRow("comments, blank lines, a block comment")
            << QStringLiteral("// 说明\n\n鼠标->1,1\n/* 停用\n鼠标->2,2\n*/ 延时->1\n延时->2")
            << QStringList() << QStringLiteral("||1|||2|3");
        QTest::newRow("leading blank lines the run trims")
            << QStringLiteral("\n\n  鼠标->1,1\n\n延时->2") << QStringList()
            << QStringLiteral("||1||2");
        QTest::newRow("a macro of two statements")
            << QStringLiteral("#define 两步 鼠标->5,5;延时->10\n两步\n跳舞->1") << QStringList()
            << QStringLiteral("|1+|3");
        QTest::newRow("a macro of one statement")
            << QStringLiteral("#define 点 鼠标->左键单击\n点\n点") << QStringList()
            << QStringLiteral("|1|2");
        QTest::newRow("an #insert between script lines")
            << QStringLiteral("鼠标->1,1\n#insert /x/lib.zt\n延时->2")
            << QStringList {lib, QStringLiteral("鼠标->7,7\n\n延时->8")}
            << QStringLiteral("1|2+|4");
        QTest::newRow("an #insert of one line at the end")
            << QStringLiteral("鼠标->1,1\n\n#insert /x/lib.zt")
            << QStringList {lib, QStringLiteral("延时->8")} << QStringLiteral("1||2");
        QTest::newRow("two #inserts told apart by their paths")
            << QStringLiteral("#insert /x/a.zt\n#insert /x/b.zt\n延时->1")
            << QStringList {QStringLiteral("/x/a.zt"), QStringLiteral("鼠标->1,1"),
                   QStringLiteral("/x/b.zt"), QStringLiteral("鼠标->2,2\n鼠标->3,3")}
            << QStringLiteral("1|2+|4");
        QTest::newRow("a missing #insert")
            << QStringLiteral("#insert /x/none.zt\n鼠标->1,1") << QStringList()
            << QStringLiteral("|1");
        QTest::newRow("empty") << QString() << QStringList() << QString();
    }

    void labels()
    {
        QFETCH(QString, text);
        QFETCH(QStringList, files);
        QFETCH(QString, labels);
        QMap<QString, QString> map;
        for (int i = 0; i + 1 < files.size(); i += 2)
            map.insert(files.at(i), files.at(i + 1));
        QCOMPARE(labelsOf(text, map), labels);
    }

    // Inserted lines show at their #insert when it can be told, and nowhere rather than at a
    // wrong line. origins: "file:line" of each prepared line, the script's own without a file.
    void insertedLines_data()
    {
        QTest::addColumn<QStringList>("editor");
        QTest::addColumn<QString>("origins");
        QTest::addColumn<QVector<int>>("shown");
        const QStringList twoInserts {"#insert /a.zt", "#insert /b.zt", "x->1"};
        QTest::newRow("nested file, two #inserts")
            << twoInserts << QStringLiteral("/n.zt:1,:3") << QVector<int> {-1, 2};
        QTest::newRow("told by their paths")
            << twoInserts << QStringLiteral("/b.zt:1,/a.zt:1,:3") << QVector<int> {1, 0, 2};
        QTest::newRow("nested file, one #insert") << QStringList {"#insert /a.zt", "", "x->1"}
                                                  << QStringLiteral("/n.zt:1,:3")
                                                  << QVector<int> {0, 2};
        QTest::newRow("a macro wrote the #insert")
            << QStringList {"#define I #insert /a.zt", "I", "x->1"}
            << QStringLiteral("/a.zt:1,:3") << QVector<int> {-1, 2};
        QTest::newRow("no room before the next script line")
            << QStringList {"x->1", "#insert /c.zt"} << QStringLiteral("/c.zt:1,:1")
            << QVector<int> {-1, 0};
        QTest::newRow("a script line past the editor's lines")
            << QStringList {"x->1"} << QStringLiteral(":1,:2") << QVector<int> {0, -1};
    }

    void insertedLines()
    {
        QFETCH(QStringList, editor);
        QFETCH(QString, origins);
        QFETCH(QVector<int>, shown);
        QVector<LineOrigin> parsed;
        for (const QString &o : origins.split(QLatin1Char(',')))
            parsed << LineOrigin {o.section(QLatin1Char(':'), 0, 0),
                o.section(QLatin1Char(':'), 1).toInt(), false};
        QCOMPARE(gutter::shownLines(parsed, editor, 0), shown);
    }

    void problemLine_data()
    {
        QTest::addColumn<int>("prepared");
        QTest::addColumn<QString>("file");
        QTest::addColumn<int>("originLine");
        QTest::addColumn<int>("line");
        // shown: prepared 1 → editor line 2, prepared 2 (inserted) → nowhere; offset 1, 5 lines.
        QTest::newRow("a prepared line") << 1 << QString() << 2 << 2;
        QTest::newRow("an inserted line not shown") << 2 << QStringLiteral("/a.zt") << 1 << -1;
        QTest::newRow("a directive of the script") << 0 << QString() << 1 << 1;
        QTest::newRow("a directive of an inserted file") << 0 << QStringLiteral("/a.zt") << 1 << -1;
        QTest::newRow("a directive past the editor's lines") << 0 << QString() << 5 << -1;
        QTest::newRow("a prepared line past the list") << 7 << QString() << 1 << -1;
    }

    void problemLine()
    {
        QFETCH(int, prepared);
        QFETCH(QString, file);
        QFETCH(int, originLine);
        QFETCH(int, line);
        QCOMPARE(gutter::problemLine(prepared, {file, originLine, false}, {2, -1}, 1, 5), line);
    }

    void blockStateRoundTrip_data()
    {
        QTest::addColumn<int>("first");
        QTest::addColumn<bool>("more");
        QTest::addColumn<QString>("label");
        QTest::newRow("none") << 0 << false << QString();
        QTest::newRow("one") << 1 << false << QStringLiteral("1");
        QTest::newRow("more") << 12 << true << QStringLiteral("12+");
        QTest::newRow("large") << 99999 << false << QStringLiteral("99999");
    }

    void blockStateRoundTrip()
    {
        QFETCH(int, first);
        QFETCH(bool, more);
        QFETCH(QString, label);
        const gutter::LineNumber number {first, more};
        QCOMPARE(gutter::labelText(number), label);
        // A block nobody numbered holds -1.
        QCOMPARE(gutter::toBlockState(number) == -1, first == 0);
        QVERIFY(gutter::fromBlockState(gutter::toBlockState(number)) == number);
    }

    // The numbers come once typing pauses, stay with their lines while lines are added above,
    // and follow the new preparation after the next pause.
    void editorBlocksCarryTheNumbers()
    {
        TestWindow w;
        QTextEdit *edit = w.editor();
        edit->setPlainText(QStringLiteral("// 说明\n鼠标->1,1\n\n延时->2"));
        QCOMPARE(blockLabels(edit), QStringLiteral("|||")); // not inside the change
        QTRY_COMPARE(blockLabels(edit), QStringLiteral("|1||2"));

        w.setCursor(0);
        w.key(Qt::Key_Return);
        w.setCursor(0);
        w.type(QStringLiteral("键盘->A"));
        QCOMPARE(blockLabels(edit), QStringLiteral("||1||2"));
        QTRY_COMPARE(blockLabels(edit), QStringLiteral("1||2||3"));
    }

    // Ink in the gutter exactly beside the numbered lines, at the top and scrolled down.
    void gutterPaintsBesideItsLines()
    {
        TestWindow w;
        QTextEdit *edit = w.editor();
        w.window->resize(900, 500);
        w.window->show();
        QVERIFY(QTest::qWaitForWindowExposed(w.window.get()));
        QStringList lines;
        for (int i = 0; i < 120; ++i)
            lines << (i % 3 == 1 ? QStringLiteral("// 说明") : QStringLiteral("延时->1"));
        edit->setPlainText(lines.join(QLatin1Char('\n')));
        checkOf(w)->checkNow();
        auto *gutter = edit->findChild<QWidget *>(QStringLiteral("editorGutter"));
        QVERIFY(gutter);
        QVERIFY(gutter->width() >= edit->fontMetrics().horizontalAdvance(QStringLiteral("120+")));
        QCOMPARE(edit->viewport()->x(), gutter->geometry().right() + 1);

        for (const int scroll : {0, 555}) {
            edit->verticalScrollBar()->setValue(scroll);
            QCOMPARE(edit->verticalScrollBar()->value(), scroll);
            QImage image(gutter->size(), QImage::Format_RGB32);
            gutter->render(&image);
            const QRgb background = image.pixel(1, 1);
            int checked = 0;
            for (QTextBlock b = edit->document()->begin(); b.isValid(); b = b.next()) {
                const QRectF box = edit->document()->documentLayout()->blockBoundingRect(b);
                const int top = int(box.top()) - scroll + 2;
                const int bottom = int(box.bottom()) - scroll - 2;
                if (top < 0 || bottom >= image.height())
                    continue;
                bool ink = false;
                for (int y = top; y <= bottom && !ink; ++y) {
                    for (int x = 0; x < image.width() - 2 && !ink; ++x)
                        ink = image.pixel(x, y) != background;
                }
                QCOMPARE(ink, b.blockNumber() % 3 != 1);
                ++checked;
            }
            QVERIFY2(checked > 5, "too few lines in view");
        }
    }
};

QTEST_MAIN(TestEditorGutter)
#include "tst_editorgutter.moc"
