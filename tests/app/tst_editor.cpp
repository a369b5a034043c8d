// The script editor: colouring, what the editor shows of it, completion, the undo history and
// the editing keys.
#include "app/editoraids.h"
#include "app/editorcolouring.h"
#include "app/editordisplay.h"
#include "app/editorhistory.h"
#include "colouringcheck.h"
#include "testwindow.h"

#include <QAbstractTextDocumentLayout>
#include <QRandomGenerator>
#include <QScrollBar>
#include <QTextBlock>
#include <QtTest>

namespace {

QString grey(const QString &s)
{
    return QStringLiteral("<span><span style='color:#808080;'>") + s
        + QStringLiteral("</span></span>");
}

QString coloured(const char *colour, const QString &s)
{
    return QStringLiteral("<span><span style='color:%1;'>").arg(QLatin1String(colour)) + s
        + QStringLiteral("</span></span>");
}

// Every character of a document with its colour and weight, separators as line feeds.
QStringList styledCharacters(QTextDocument *document)
{
    QStringList out;
    for (QTextBlock block = document->begin(); block.isValid(); block = block.next()) {
        for (auto it = block.begin(); !it.atEnd(); ++it) {
            const QTextCharFormat format = it.fragment().charFormat();
            const QString style = (format.hasProperty(QTextFormat::ForegroundBrush)
                                          ? format.foreground().color().name()
                                          : QStringLiteral("-"))
                + QLatin1Char('/') + QString::number(format.fontWeight());
            for (QChar c : it.fragment().text()) {
                if (c == QChar::LineSeparator)
                    c = QLatin1Char('\n');
                out << QString(c) + QLatin1Char(' ') + style;
            }
        }
        if (block.next().isValid())
            out << QStringLiteral("\n");
    }
    // One paragraph broken by <br/> or one block per line: the breaks read alike.
    for (QString &entry : out) {
        if (entry.startsWith(QLatin1Char('\n')))
            entry = QStringLiteral("\n");
    }
    return out;
}

const QString kEveryKind = QStringLiteral(
    "#define 登录 鼠标->100,200\n#insert /home/u/公共.zt\n// 整行注释 鼠标->1,1\n"
    "打开->http://example.com//登录页\n延时->3000\n识别->/a/b.bmp\n串1->[复制]\n变2->[变2]\n"
    "粘贴->用户_名称_ 与 (串3) <b>&amp;\n循环1->5\n{\n    对比->(串1==[串2])\n    {\n"
    "        cmd->echo\n    }\n    else\n    {\n        已复制->x\n    }\n循环1->5\n}\n"
    "/* 块 执行->2\n键盘->Enter\n*/\n执行->3\n截止->2025-01-01\n_a // b_ 串1->x\r\nend /* open");

using colouringcheck::edit;
using colouringcheck::shownLines;
using colouringcheck::wholeText;

// Every character of a display with its colour and weight, a line to an entry, for messages.
QStringList described(const QVector<editor::DisplayLine> &lines)
{
    QStringList out;
    for (const editor::DisplayLine &line : lines) {
        QString entry;
        int at = 0;
        for (const editor::StyledSpan &span : line.spans) {
            entry += QStringLiteral("[%1 %2%3]")
                         .arg(line.text.mid(at, span.length),
                             span.style.coloured ? QColor(span.style.colour).name()
                                                 : QStringLiteral("-"),
                             span.style.bold ? QStringLiteral(" b") : QString());
            at += span.length;
        }
        out << entry;
    }
    return out;
}

} // namespace

class TestEditor : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { QApplication::setFont(QFont(QStringLiteral("Sans Serif"), 9)); }

    void colouring_data()
    {
        QTest::addColumn<QString>("script");
        QTest::addColumn<QString>("body");
        QTest::newRow("address with a comment after it")
            << QStringLiteral("打开->http://host//x")
            << coloured("#aa0000", QStringLiteral("打开->")) + QStringLiteral("http://host")
                + grey(QStringLiteral("//x"));
        QTest::newRow("commented-out mouse line")
            << QStringLiteral("//鼠标->1,2\n鼠标->3,4")
            << grey(QStringLiteral("//鼠标->1,2\n"))
                    .replace(QLatin1Char('\n'), QLatin1String("<br/>"))
                + coloured("#aa0000", QStringLiteral("鼠标->")) + QStringLiteral("3,4");
        QTest::newRow("nested spans stripped in a comment")
            << QStringLiteral("x // 串1->[串2] (变3) _a_")
            << QStringLiteral("x&nbsp;")
                + grey(QStringLiteral("//&nbsp;串1->[串2]&nbsp;(变3)&nbsp;_a_"));
        QTest::newRow("loop headers")
            << QStringLiteral("循环1->3\n{\n鼠标->1,1\n循环1->3\n}")
            << coloured("#FF5500", QStringLiteral("循环1->3<br/>{")) + QStringLiteral("<br/>")
                + coloured("#aa0000", QStringLiteral("鼠标->")) + QStringLiteral("1,1<br/>")
                + coloured("#FF5500", QStringLiteral("循环1->3<br/>}"));
        QTest::newRow("repetition bold red")
            << QStringLiteral("执行->3")
            << QStringLiteral("<span><span style='color:#FF0000;'><b>执行->3</b></span></span>");
        QTest::newRow("string variable: dark red, then green inside")
            << QStringLiteral("串1->[串2]")
            << coloured("#aa0000", coloured("#00AA00", QStringLiteral("串1->")))
                + coloured("#00AA00", QStringLiteral("[串2]"));
        QTest::newRow("number variables, condition, directives")
            << QStringLiteral("变1->(变2)\nelse\n#define a\n#insert b\n截止->1")
            << coloured("#007700", QStringLiteral("变1->"))
                + coloured("#007700", QStringLiteral("(变2)")) + QStringLiteral("<br/>")
                + coloured("#0055ff", QStringLiteral("else")) + QStringLiteral("<br/>")
                + coloured("#aa557f", QStringLiteral("#define")) + QStringLiteral("&nbsp;a<br/>")
                + coloured("#aaaa00", QStringLiteral("#insert")) + QStringLiteral("&nbsp;b<br/>")
                + QStringLiteral("<span><span style='font-weight:600;'>截止-></span></span>1");
        QTest::newRow("command words only at a word start") << QStringLiteral("x鼠标->1 鼠标->2")
                                                            << QStringLiteral("x鼠标->1&nbsp;")
                + coloured("#aa0000", QStringLiteral("鼠标->")) + QStringLiteral("2");
        QTest::newRow("markup characters are text")
            << QStringLiteral("粘贴-><b>&lt;")
            << coloured("#aa0000", QStringLiteral("粘贴->")) + QStringLiteral("&lt;b>&amp;lt;");
        QTest::newRow("block comment over lines, unterminated one to the end")
            << QStringLiteral("/*\n键盘->A\n*/x/*y")
            << grey(QStringLiteral("/*<br/>键盘->A<br/>*/")) + QStringLiteral("x")
                + grey(QStringLiteral("/*y"));
        // The block comment strips the line comment's closing tags: the grey runs on.
        QTest::newRow("block comment opened inside a line comment")
            << QStringLiteral("// a /* b\nc */d")
            << QStringLiteral("<span><span style='color:#808080;'>//&nbsp;a&nbsp;")
                + grey(QStringLiteral("/*&nbsp;b<br/>c&nbsp;*/")) + QStringLiteral("d");
        // The pattern matcher refuses a text with half a pair anywhere in it: the rest must
        // still be coloured.
        QTest::newRow("half a surrogate pair")
            << QStringLiteral("粘贴->a") + QChar(0xd83d) + QStringLiteral("\n鼠标->1")
            << coloured("#aa0000", QStringLiteral("粘贴->")) + QStringLiteral("a&#55357;<br/>")
                + coloured("#aa0000", QStringLiteral("鼠标->")) + QStringLiteral("1");
    }

    void colouring()
    {
        QFETCH(QString, script);
        QFETCH(QString, body);
        QCOMPARE(editor::colouredBody(script), body);
    }

    void frameIsOneParagraphOfArial()
    {
        QTextDocument document;
        document.setHtml(editor::colouredDocument(QStringLiteral("鼠标->1,1\n延时->5")));
        QCOMPARE(document.blockCount(), 1);
        QCOMPARE(document.toPlainText(), QStringLiteral("鼠标->1,1\n延时->5"));
        const QTextBlockFormat block = document.begin().blockFormat();
        QCOMPARE(block.lineHeightType(), int(QTextBlockFormat::ProportionalHeight));
        QCOMPARE(block.lineHeight(), 120.0);
        QCOMPARE(block.topMargin(), 3.0);
        QCOMPARE(block.bottomMargin(), 2.0);
        const QTextCharFormat chars = document.begin().begin().fragment().charFormat();
        QCOMPARE(chars.fontFamily(), QStringLiteral("Arial"));
        QCOMPARE(chars.fontPointSize(), 10.0);
    }

    // The editor is built from the coloured lines instead of reading the HTML: it must show
    // what the toolkit shows for the HTML, character by character.
    void displayShowsWhatTheHtmlShows_data()
    {
        QTest::addColumn<QString>("script");
        QTest::newRow("every kind of line") << kEveryKind;
        QTest::newRow("empty") << QString();
        QTest::newRow("comment over a loop header")
            << QStringLiteral("//循环1->2\n{\nx\n}\n执行->\n");
        QTest::newRow("separators and tabs") << QStringLiteral("a\tb\u2028c\r\n\n");
        QTest::newRow("halves of surrogate pairs")
            << QStringLiteral("_a") + QChar(0xdc00) + QStringLiteral("_ 变1->") + QChar(0xd800)
                + QStringLiteral("\n\U0001F600 鼠标->1");
    }

    void displayShowsWhatTheHtmlShows()
    {
        QFETCH(QString, script);
        QTextDocument reference;
        reference.setHtml(editor::colouredDocument(script));
        QTextEdit edit;
        ScriptDisplay display;
        display.show(&edit, script);
        QCOMPARE(edit.toPlainText(), reference.toPlainText());
        QCOMPARE(styledCharacters(edit.document()), styledCharacters(&reference));
        QCOMPARE(edit.document()->firstBlock().blockFormat().topMargin(), 3.0);
        QCOMPARE(edit.document()->lastBlock().blockFormat().bottomMargin(), 2.0);
    }

    // After any edit, changing only the lines that differ must give the same document as
    // building it anew: for edits made in the editor and read from its changed lines, and for
    // whole texts shown again (as undo does).
    void patchedDisplayEqualsAFreshOne()
    {
        QRandomGenerator random(8);
        const QStringList pieces {QStringLiteral("鼠标->1,1\n"), QStringLiteral("{\n"),
            QStringLiteral("}\n"), QStringLiteral("循环1->2\n"), QStringLiteral("/*"),
            QStringLiteral("*/"), QStringLiteral("//"), QStringLiteral("x"), QStringLiteral("\n"),
            QStringLiteral("else\n"), QStringLiteral("串1->")};
        QTextEdit edit;
        ScriptDisplay display;
        display.show(&edit, kEveryKind);
        QString shown = kEveryKind;
        int readFromLines = 0;
        for (int round = 0; round < 300; ++round) {
            const int size = edit.document()->characterCount() - 1;
            const int at = random.bounded(size + 1);
            const int removed = random.bounded(3) == 0 ? qMin(size - at, random.bounded(1, 30)) : 0;
            const QString inserted
                = removed > 0 ? QString() : pieces.at(random.bounded(pieces.size()));
            if (round % 4 == 3) {
                QString text = edit.toPlainText();
                text.replace(at, removed, inserted);
                display.show(&edit, text);
                shown = text;
            } else {
                QTextCursor cursor(edit.document());
                cursor.setPosition(at);
                cursor.setPosition(at + removed, QTextCursor::KeepAnchor);
                cursor.insertText(inserted);
                ScriptDisplay::Change change;
                if (display.pendingChange(&edit, &change)) {
                    // The change read from the lines leads from the text shown to the new one.
                    QCOMPARE(shown.mid(change.at, change.removed.size()), change.removed);
                    QCOMPARE(
                        QString(shown).replace(change.at, change.removed.size(), change.inserted),
                        edit.toPlainText());
                    display.showPendingChange(&edit);
                    ++readFromLines;
                } else {
                    display.show(&edit, edit.toPlainText()); // carriage returns shown before
                }
                shown = edit.toPlainText();
            }

            QTextEdit fresh;
            ScriptDisplay freshDisplay;
            freshDisplay.show(&fresh, shown);
            QCOMPARE(edit.toPlainText(), shown);
            QCOMPARE(edit.document()->blockCount(), fresh.document()->blockCount());
            QCOMPARE(styledCharacters(edit.document()), styledCharacters(fresh.document()));
            for (QTextBlock a = edit.document()->begin(), b = fresh.document()->begin();
                 a.isValid(); a = a.next(), b = b.next())
                QVERIFY2(a.blockFormat() == b.blockFormat(), qPrintable(QString::number(round)));
        }
        QVERIFY(readFromLines > 200);
    }

    // The colouring kept by lines must show after any edit what colouring the whole text anew
    // shows: for edits that open or close a block comment, join a loop header to its brace,
    // leave a tag open in a comment, or change nothing but one line.
    void colouringByLinesEqualsTheWholeText_data()
    {
        QTest::addColumn<QString>("script");
        QTest::addColumn<QString>("find"); // the edit is where this is first (empty: the end)
        QTest::addColumn<int>("removed");
        QTest::addColumn<QString>("inserted");
        const QString lines = QStringLiteral("鼠标->1,1\n延时->5\n键盘->A\n变1->(变2)\n");
        QTest::newRow("opening a block comment")
            << lines << QStringLiteral("延时") << 0 << QStringLiteral("/*");
        QTest::newRow("closing it again")
            << QStringLiteral("鼠标->1,1\n/*延时->5\n键盘->A\n变1->(变2)\n")
            << QStringLiteral("键盘") << 0 << QStringLiteral("*/");
        QTest::newRow("removing a comment's start")
            << QStringLiteral("a\n/* 鼠标->1\n*/ 键盘->B\n延时->1") << QStringLiteral("/*") << 1
            << QString();
        QTest::newRow("a line comment")
            << lines << QStringLiteral("键盘") << 0 << QStringLiteral("//");
        QTest::newRow("a closing that a line comment takes") << QStringLiteral(
            "/* a\nb *x/ c\nd") << QStringLiteral("x") << 1 << QStringLiteral("/");
        QTest::newRow("typing into a #define line")
            << QStringLiteral("#define 登录 鼠标->100,200\n登录\n") << QStringLiteral(" 登录") << 0
            << QStringLiteral("x");
        QTest::newRow("a loop header meets its brace")
            << QStringLiteral("循环1->3\n\n鼠标->1,1\n}\n") << QStringLiteral("\n鼠标") << 0
            << QStringLiteral("{");
        QTest::newRow("a loop header waits over lines")
            << QStringLiteral("循环 a\nb\nc->2 d\ne\n{\nx") << QStringLiteral("b") << 1
            << QStringLiteral("-");
        QTest::newRow("changing a loop header that waits over lines") << QStringLiteral(
            "循环1->3\nx\n{\n}") << QStringLiteral("3") << 1 << QStringLiteral("4");
        QTest::newRow("a loop header loses its digit")
            << QStringLiteral("循环1->3\n{\n鼠标->1\n循环1->3\n}") << QStringLiteral("3") << 1
            << QString();
        QTest::newRow("a header word after a bold deadline")
            << QStringLiteral("循环 截止->5\n{\n}") << QStringLiteral("截止") << 0
            << QStringLiteral(" ");
        QTest::newRow("an address is no comment")
            << QStringLiteral("打开->http\n鼠标->1,1") << QStringLiteral("\n") << 0
            << QStringLiteral("://host//x");
        QTest::newRow("a span left open in a comment runs on")
            << QStringLiteral("a\n_b_\n鼠标->1\n延时->2") << QStringLiteral("b") << 0
            << QStringLiteral("//");
        QTest::newRow("a block comment inside a line comment")
            << QStringLiteral("// a b\nc */d\n鼠标->1") << QStringLiteral("b") << 0
            << QStringLiteral("/*");
        QTest::newRow("a new line in a coloured word")
            << lines << QStringLiteral("->1") << 0 << QStringLiteral("\n");
        QTest::newRow("joining lines") << lines << QStringLiteral("\n延时") << 1 << QString();
        QTest::newRow("carriage returns") << QStringLiteral("_a_\r\n/*\r\nb\r\n*/\r\nelse")
                                          << QStringLiteral("b") << 0 << QStringLiteral("*/");
        // Its last line ends the comment, right at the start: the end is not the line before's.
        QTest::newRow("typing on the last line of an open comment")
            << QStringLiteral("鼠标->1 /*\n") << QString() << 0 << QStringLiteral("x");
        QTest::newRow("half of a surrogate pair taken out")
            << QStringLiteral("鼠标\U000C30C3->1\n延时->5\n变1->(变2)\n") << QStringLiteral("\U000C30C3")
            << 1 << QString();
        QTest::newRow("the first and last line")
            << QStringLiteral("x") << QStringLiteral("x") << 1 << QStringLiteral("/*\n\n*/");
    }

    void colouringByLinesEqualsTheWholeText()
    {
        QFETCH(QString, script);
        QFETCH(QString, find);
        QFETCH(int, removed);
        QFETCH(QString, inserted);
        const int at = find.isEmpty() ? script.size() : script.indexOf(find);
        QVERIFY(at >= 0);
        editor::ScriptColouring colouring;
        colouring.setText(script);
        QCOMPARE(described(shownLines(colouring)), described(wholeText(script)));
        QString text = script;
        edit(colouring, text, at, removed, inserted);
        QCOMPARE(colouring.text(), text);
        QCOMPARE(described(shownLines(colouring)), described(wholeText(text)));
        // And back.
        edit(colouring, text, at, inserted.size(), script.mid(at, removed));
        QCOMPARE(text, script);
        QCOMPARE(described(shownLines(colouring)), described(wholeText(script)));
    }

    // Many random edits of text made of the pieces that tie lines together; after each one
    // the lines must be those of the whole text, and those reported as changed must include
    // every line that shows differently.
    void colouringByLinesFollowsRandomEdits()
    {
        const QStringList pieces {QStringLiteral("循环1->2"), QStringLiteral("循环"),
            QStringLiteral("->"), QStringLiteral("->3"), QStringLiteral("-"), QStringLiteral("{"),
            QStringLiteral("}"), QStringLiteral("\n"), QStringLiteral("\n"), QStringLiteral("/*"),
            QStringLiteral("*/"), QStringLiteral("//"), QStringLiteral(":"), QStringLiteral("_"),
            QStringLiteral("x"), QStringLiteral(" "), QStringLiteral("鼠标->"),
            QStringLiteral("截止->"), QStringLiteral("执行->2"), QStringLiteral("串1->"),
            QStringLiteral("[变1]"), QStringLiteral("else"), QStringLiteral("#define"),
            QStringLiteral("&"), QStringLiteral("<"), QStringLiteral("\r\n"), QStringLiteral("\t"),
            QStringLiteral("9")};
        QRandomGenerator random(11);
        const auto randomText = [&](int count) {
            QString text;
            for (int i = 0; i < count; ++i)
                text += pieces.at(random.bounded(pieces.size()));
            return text;
        };
        for (int run = 0; run < 10; ++run) {
            QString text = run == 0 ? kEveryKind : randomText(200);
            editor::ScriptColouring colouring;
            colouring.setText(text);
            for (int round = 0; round < 150; ++round) {
                const QVector<editor::DisplayLine> before = shownLines(colouring);
                const int at = random.bounded(text.size() + 1);
                const int removed
                    = random.bounded(3) == 0 ? qMin(text.size() - at, random.bounded(1, 12)) : 0;
                const QString inserted = randomText(random.bounded(removed > 0 ? 0 : 1, 4));
                const int linesBefore = text.count(QLatin1Char('\n'));
                const int first = text.leftRef(at).count(QLatin1Char('\n'));
                const int lastBefore = text.leftRef(at + removed).count(QLatin1Char('\n'));
                const QVector<int> changed = edit(colouring, text, at, removed, inserted);
                const QVector<editor::DisplayLine> after = wholeText(text);
                const QByteArray where
                    = QStringLiteral("run %1 round %2: %3").arg(run).arg(round).arg(text).toUtf8();
                QVERIFY2(shownLines(colouring) == after, where.constData());
                // Lines outside the edit keep their place, shifted by the lines it added.
                const int shift = text.count(QLatin1Char('\n')) - linesBefore;
                for (int k = 0; k < after.size(); ++k) {
                    const int old = k <= first ? k : k - shift;
                    const bool edited = k >= first && k <= lastBefore + shift;
                    if (!edited && old >= 0 && old < before.size()
                        && !(before.at(old) == after.at(k)))
                        QVERIFY2(changed.contains(k), where.constData());
                }
            }
        }
    }

    // Keys typed into the editor leave it as the script loaded anew shows it, and undo and redo
    // take every keystroke back and forth.
    void typingShowsWhatALoadedScriptShows_data()
    {
        QTest::addColumn<QString>("script");
        QTest::addColumn<bool>("asFile"); // shown as a loaded file (its carriage returns kept)
        QTest::addColumn<QString>("find"); // the cursor goes where this is first (empty: the end)
        QTest::addColumn<QString>("keys"); // typed; "\b" is Backspace, "\n" Enter
        const QString lines = QStringLiteral("鼠标->1,1\n延时->5\n键盘->A\n变1->(变2)");
        QTest::newRow("opening a block comment")
            << lines << false << QStringLiteral("延时") << QStringLiteral("/*");
        QTest::newRow("closing it again")
            << QStringLiteral("鼠标->1,1\n/*延时->5\n键盘->A\n变1->(变2)") << false
            << QStringLiteral("键盘") << QStringLiteral("*/");
        QTest::newRow("deleting a comment's start")
            << QStringLiteral("a\n/* 鼠标->1\n*/ 键盘->B") << false << QStringLiteral(" 鼠标")
            << QStringLiteral("\b\b");
        QTest::newRow("a line comment")
            << lines << false << QStringLiteral("键盘") << QStringLiteral("//");
        QTest::newRow("typing into a #define line")
            << QStringLiteral("#define 登录 鼠标->100,200\n登录") << false
            << QStringLiteral(" 登录 鼠标") << QStringLiteral("\be");
        QTest::newRow("a loop header meets its brace")
            << QStringLiteral("循环1->3\n\n鼠标->1,1\n}") << false << QStringLiteral("\n鼠标")
            << QStringLiteral("{");
        QTest::newRow("Enter and Backspace in a coloured word")
            << lines << false << QStringLiteral("->1,1") << QStringLiteral("\n\b");
        QTest::newRow("completion")
            << QStringLiteral("a\n") << false << QString() << QStringLiteral("鼠标");
        QTest::newRow("an address") << QStringLiteral("打开->\n延时->1") << false
                                    << QStringLiteral("\n") << QStringLiteral("http://h//x");
        QTest::newRow("a loaded file with carriage returns")
            << QStringLiteral("鼠标->1,1\r\n/*延时\r\n*/键盘->A\r\n") << true
            << QStringLiteral("键盘") << QStringLiteral("x\b");
    }

    void typingShowsWhatALoadedScriptShows()
    {
        QFETCH(QString, script);
        QFETCH(bool, asFile);
        QFETCH(QString, find);
        QFETCH(QString, keys);
        TestWindow w;
        QTextEdit *editor = w.editor();
        if (asFile) {
            w.window->RenderScript(editor, script);
            w.window->ResetUndoHistory();
        } else {
            editor->setPlainText(script);
        }
        const QString start = editor->toPlainText();
        w.setCursor(find.isEmpty() ? start.size() : start.indexOf(find));
        const auto checkShowsAsLoaded = [editor](const QString &what) {
            QTextEdit loaded;
            ScriptDisplay display;
            display.show(&loaded, editor->toPlainText());
            QVERIFY2(styledCharacters(editor->document()) == styledCharacters(loaded.document()),
                qPrintable(what));
            QCOMPARE(editor->document()->blockCount(), loaded.document()->blockCount());
            for (QTextBlock a = editor->document()->begin(), b = loaded.document()->begin();
                 a.isValid(); a = a.next(), b = b.next())
                QVERIFY2(a.blockFormat() == b.blockFormat(), qPrintable(what));
        };
        for (const QChar key : keys) {
            if (key == QLatin1Char('\b'))
                w.key(Qt::Key_Backspace);
            else if (key == QLatin1Char('\n'))
                w.key(Qt::Key_Return);
            else
                w.type(QString(key));
            checkShowsAsLoaded(QStringLiteral("after ") + key);
        }
        const QString end = editor->toPlainText();
        for (int i = 0; i < keys.size(); ++i)
            w.key(Qt::Key_Z, Qt::ControlModifier);
        QCOMPARE(editor->toPlainText(), start);
        checkShowsAsLoaded(QStringLiteral("undone"));
        for (int i = 0; i < keys.size(); ++i)
            w.key(Qt::Key_Y, Qt::ControlModifier);
        QCOMPARE(editor->toPlainText(), end);
        checkShowsAsLoaded(QStringLiteral("redone"));
    }

    // A change recorded as the span it replaced makes the same history as the whole new text.
    void historyOfSpansEqualsHistoryOfTexts()
    {
        EditHistory byText;
        EditHistory bySpan;
        QString text = QStringLiteral("延时->1\n鼠标->2,2");
        byText.reset(text, 0, 0);
        bySpan.reset(text, 0, 0);
        QRandomGenerator random(5);
        for (int i = 0; i < 400; ++i) {
            const int action = random.bounded(6);
            if (action == 0) {
                QCOMPARE(bySpan.undo(), byText.undo());
            } else if (action == 1) {
                QCOMPARE(bySpan.redo(), byText.redo());
            } else {
                const QString current = byText.text();
                const int at = random.bounded(current.size() + 1);
                const int removed = qMin(current.size() - at, random.bounded(3));
                const QString inserted = QString(random.bounded(3), QLatin1Char('x' + i % 3));
                QVERIFY(bySpan.recordChange(at, current.mid(at, removed), inserted, at, i));
                byText.record(QString(current).replace(at, removed, inserted), at, i);
            }
            QCOMPARE(bySpan.text(), byText.text());
            QCOMPARE(bySpan.count(), byText.count());
            QCOMPARE(bySpan.current(), byText.current());
            QCOMPARE(bySpan.cursor(), byText.cursor());
            QCOMPARE(bySpan.scroll(), byText.scroll());
        }
        // Every state comes back on the way down.
        while (byText.undo()) {
            QVERIFY(bySpan.undo());
            QCOMPARE(bySpan.text(), byText.text());
        }
        QVERIFY(!bySpan.undo());
        // A span that is not in the current text is refused and nothing is recorded.
        const int count = bySpan.count();
        QVERIFY(!bySpan.recordChange(0, QStringLiteral("no such text"), QString(), 0, 0));
        QVERIFY(
            !bySpan.recordChange(bySpan.text().size() + 1, QString(), QStringLiteral("x"), 0, 0));
        QCOMPARE(bySpan.count(), count);
    }

    void sameTextSetAgainIsColouredAgain()
    {
        TestWindow w;
        const QString text = QStringLiteral("延时->1\n鼠标->2,2\n键盘->A");
        w.editor()->setPlainText(text);
        w.editor()->setPlainText(text);
        QTextEdit reference;
        ScriptDisplay display;
        display.show(&reference, text);
        QCOMPARE(styledCharacters(w.editor()->document()), styledCharacters(reference.document()));
        w.key(Qt::Key_Z, Qt::ControlModifier); // no second state was recorded
        QCOMPARE(w.editor()->toPlainText(), QString());
    }

    void completion_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("cursor");
        QTest::addColumn<bool>("completes");
        QTest::newRow("start of the text") << QStringLiteral("鼠标") << 2 << true;
        QTest::newRow("start of a line") << QStringLiteral("a\n鼠标") << 4 << true;
        QTest::newRow("after a blank") << QStringLiteral("x 鼠标") << 4 << true;
        QTest::newRow("inside a word") << QStringLiteral("x鼠标") << 3 << false;
        QTest::newRow("blank just typed") << QStringLiteral("鼠标 ") << 3 << false;
        QTest::newRow("before an existing arrow") << QStringLiteral("鼠标->1") << 2 << false;
        QTest::newRow("before an arrow after a blank") << QStringLiteral("鼠标 ->") << 2 << true;
        QTest::newRow("numbered variable") << QStringLiteral("\n串12") << 4 << true;
        QTest::newRow("three-letter word") << QStringLiteral("已复制") << 3 << true;
        QTest::newRow("csv commands") << QStringLiteral("存csv") << 4 << true;
        QTest::newRow("comparison") << QStringLiteral("对比") << 2 << true;
    }

    void completion()
    {
        QFETCH(QString, text);
        QFETCH(int, cursor);
        QFETCH(bool, completes);
        QCOMPARE(editor::completesArrow(text, cursor), completes);
    }

    void typingCompletesInTheEditor()
    {
        TestWindow w;
        w.type(QStringLiteral("鼠标"));
        QCOMPARE(w.editor()->toPlainText(), QStringLiteral("鼠标->"));
        QCOMPARE(w.editor()->textCursor().position(), 4);
        w.type(QStringLiteral("1,1"));
        w.key(Qt::Key_Return);
        // A word committed with a blank after it (an input method does so) stays as it is.
        w.commit(QStringLiteral("延时 "));
        QCOMPARE(w.editor()->toPlainText(), QStringLiteral("鼠标->1,1\n延时 "));
        w.commit(QStringLiteral("键盘"));
        QCOMPARE(w.editor()->toPlainText(), QStringLiteral("鼠标->1,1\n延时 键盘->"));
        // In front of an existing arrow nothing is added.
        w.editor()->setPlainText(QStringLiteral("->5"));
        w.setCursor(0);
        w.type(QStringLiteral("延时"));
        QCOMPARE(w.editor()->toPlainText(), QStringLiteral("延时->5"));
        // The colours follow the typing.
        QCOMPARE(
            w.editor()->document()->begin().begin().fragment().charFormat().foreground().color(),
            QColor(QStringLiteral("#aa0000")));
    }

    void historyUndoRedoAndBounds()
    {
        EditHistory history;
        history.reset(QStringLiteral("a"), 0, 0);
        QVERIFY(!history.undo());
        QVERIFY(!history.redo());
        history.record(QStringLiteral("ab"), 2, 10);
        history.record(QStringLiteral("abc"), 3, 20);
        QCOMPARE(history.count(), 3);
        QVERIFY(history.undo());
        QCOMPARE(history.text(), QStringLiteral("ab"));
        QCOMPARE(history.cursor(), 2);
        QCOMPARE(history.scroll(), 10);
        QVERIFY(history.undo());
        QVERIFY(!history.undo()); // the first state stays
        QCOMPARE(history.text(), QStringLiteral("a"));
        QCOMPARE(history.cursor(), 0);
        QVERIFY(history.redo());
        // An edit after an undo goes to the end; the state redo would have reached stays.
        history.record(QStringLiteral("aXb"), 2, 0);
        QCOMPARE(history.count(), 4);
        QCOMPARE(history.current(), 4);
        QVERIFY(!history.redo());
        QVERIFY(history.undo());
        QCOMPARE(history.text(), QStringLiteral("abc"));
        QVERIFY(history.undo());
        QCOMPARE(history.text(), QStringLiteral("ab"));
    }

    void historyStaysWithinItsBudget()
    {
        // A long session of edits on a 40 KB script: each kept state costs its change, and
        // the oldest go once the budget is reached; the kept ones come back exactly.
        const qint64 budget = 64 * 1024;
        EditHistory history(budget);
        QString text(20000, QLatin1Char('x'));
        history.reset(text, 0, 0);
        QStringList states {text};
        QRandomGenerator random(3);
        for (int i = 0; i < 5000; ++i) {
            const int at = random.bounded(text.size());
            if (i % 2)
                text.insert(at, QStringLiteral("ab"));
            else
                text.remove(at, 2);
            history.record(text, at, i);
            states << text;
        }
        QVERIFY2(history.stepBytes() <= budget, qPrintable(QString::number(history.stepBytes())));
        QVERIFY(history.count() > 300);
        QCOMPARE(history.count(), history.current());
        for (int k = states.size() - 1; k > states.size() - history.count(); --k) {
            QCOMPARE(history.text(), states.at(k));
            QVERIFY(history.undo());
        }
        QCOMPARE(history.text(), states.at(states.size() - history.count()));
        QVERIFY(!history.undo());

        // Unbounded budget: a keystroke costs bytes, not a copy of the script.
        EditHistory compact;
        compact.reset(text, 0, 0);
        for (int i = 0; i < 1000; ++i)
            compact.record(text.insert(i, QLatin1Char('y')), i, 0);
        QCOMPARE(compact.count(), 1001);
        QVERIFY(compact.stepBytes() < 1000 * 200);
    }

    void undoAndRedoKeysInTheEditor()
    {
        TestWindow w({}, {{QStringLiteral("Quorvel.zt"), QByteArray("键盘->A")}});
        QCOMPARE(w.editor()->toPlainText(), QStringLiteral("键盘->A"));
        w.key(Qt::Key_Z, Qt::ControlModifier); // at the first state: nothing changes
        QCOMPARE(w.editor()->toPlainText(), QStringLiteral("键盘->A"));
        w.setCursor(5);
        w.type(QStringLiteral("B"));
        w.type(QStringLiteral("C"));
        QCOMPARE(w.editor()->toPlainText(), QStringLiteral("键盘->ABC"));
        w.key(Qt::Key_Z, Qt::ControlModifier);
        QCOMPARE(w.editor()->toPlainText(), QStringLiteral("键盘->AB"));
        QCOMPARE(w.editor()->textCursor().position(), 6);
        w.key(Qt::Key_Z, Qt::ControlModifier);
        w.key(Qt::Key_Z, Qt::ControlModifier);
        QCOMPARE(w.editor()->toPlainText(), QStringLiteral("键盘->A"));
        QCOMPARE(w.editor()->textCursor().position(), 0);
        // Coloured again after the undo.
        QCOMPARE(
            w.editor()->document()->begin().begin().fragment().charFormat().foreground().color(),
            QColor(QStringLiteral("#aa0000")));
        w.key(Qt::Key_Y, Qt::ControlModifier);
        w.key(Qt::Key_Y, Qt::ControlModifier);
        w.key(Qt::Key_Y, Qt::ControlModifier);
        QCOMPARE(w.editor()->toPlainText(), QStringLiteral("键盘->ABC"));
        QCOMPARE(w.editor()->textCursor().position(), 7);
    }

    void commentOut_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("from");
        QTest::addColumn<int>("to");
        QTest::addColumn<QString>("result");
        QTest::newRow("one line") << QStringLiteral("a\n鼠标->1,1\nb") << 2 << 9
                                  << QStringLiteral("a\n//鼠标->1,1\nb");
        QTest::newRow("three lines")
            << QStringLiteral("a\nb\nc\nd") << 2 << 7 << QStringLiteral("a\n/*\nb\nc\nd\n*/");
        QTest::newRow("no selection") << QStringLiteral("a\nb") << 1 << 1 << QStringLiteral("a\nb");
    }

    void commentOut()
    {
        QFETCH(QString, text);
        QFETCH(int, from);
        QFETCH(int, to);
        QFETCH(QString, result);
        TestWindow w;
        w.editor()->setPlainText(text);
        w.setCursor(to, from);
        w.key(Qt::Key_Slash, Qt::ControlModifier);
        QCOMPARE(w.editor()->toPlainText(), result);
        if (result.startsWith(QLatin1String("a\n//")))
            QCOMPARE(w.editor()
                         ->document()
                         ->findBlockByNumber(1)
                         .begin()
                         .fragment()
                         .charFormat()
                         .foreground()
                         .color(),
                QColor(QStringLiteral("#808080")));
    }

    void autoIndent_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("result");
        QTest::newRow("loop") << QStringLiteral("循环1->2\n{\n鼠标->1,1\n}")
                              << QStringLiteral("循环1->2\r\n{\r\n    鼠标->1,1\r\n}\r\n");
        QTest::newRow("recognition loop")
            << QStringLiteral("识别->a.bmp\n  {\n识别->a.bmp\n}\n识别->b.bmp\n{\n  x\n}")
            << QStringLiteral(
                   "识别->a.bmp\r\n{\r\n识别->a.bmp\r\n}\r\n识别->b.bmp\r\n{\r\n    x\r\n}\r\n");
        QTest::newRow("nested, stray closing brace")
            << QStringLiteral("{\n{\nx\n}\n}\n}\ny")
            << QStringLiteral("{\r\n    {\r\n        x\r\n    }\r\n}\r\n}\r\ny\r\n");
        QTest::newRow("one line") << QStringLiteral("  x") << QString();
    }

    void autoIndent()
    {
        QFETCH(QString, text);
        QFETCH(QString, result);
        QCOMPARE(editor::autoIndented(text), result);
    }

    void autoIndentKeyIsOneUndoStep()
    {
        TestWindow w;
        w.editor()->setPlainText(QStringLiteral("循环1->2\n{\n鼠标->1,1\n}"));
        w.key(Qt::Key_I, Qt::ControlModifier);
        QCOMPARE(w.editor()->toPlainText(), QStringLiteral("循环1->2\n{\n    鼠标->1,1\n}\n"));
        w.key(Qt::Key_Z, Qt::ControlModifier);
        QCOMPARE(w.editor()->toPlainText(), QStringLiteral("循环1->2\n{\n鼠标->1,1\n}"));
    }

    void tabInsertsFourBlanks()
    {
        TestWindow w;
        w.type(QStringLiteral("x"));
        w.key(Qt::Key_Tab);
        QCOMPARE(w.editor()->toPlainText(), QStringLiteral("x    "));
        QCOMPARE(w.editor()->textCursor().position(), 5);
    }

    void typingKeepsTheScrollPosition()
    {
        QString text;
        for (int i = 0; i < 300; ++i)
            text += QStringLiteral("鼠标->%1,%1\n").arg(i);
        TestWindow w;
        w.window->resize(1030, 680);
        w.editor()->setPlainText(text);
        QScrollBar *bar = w.editor()->verticalScrollBar();
        QVERIFY(QTest::qWaitForWindowExposed(w.window.get()));
        QTest::qWait(50); // the window's layout settles
        QVERIFY(bar->maximum() > 1000);
        bar->setValue(bar->maximum() / 2);
        const int at = w.editor()->cursorForPosition(QPoint(40, 40)).position();
        w.setCursor(at);
        bar->setValue(bar->maximum() / 2);
        w.type(QStringLiteral("7"));
        QCOMPARE(bar->value(), bar->maximum() / 2);
        QCOMPARE(w.editor()->textCursor().position(), at + 1);
    }
};

QTEST_MAIN(TestEditor)
#include "tst_editor.moc"
