#include "engine/preparation.h"

#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

using namespace preparation;

// Preparation of script text into the instruction list: comments, macros, inclusions, lines.
class TstPreparation : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();

    void comments_data();
    void comments();
    void macros_data();
    void macros();
    void lineFilter_data();
    void lineFilter();
    void reducedPreparation_data();
    void reducedPreparation();
    void inclusions_data();
    void inclusions();
    void missingInclusionStaysInText();
    void identicalInclusionsReadOnce();
    void crlfBehavesLikeLf_data();
    void crlfBehavesLikeLf();
    void runawayInclusionsTerminate_data();
    void runawayInclusionsTerminate();
    void runawayMacrosTerminate_data();
    void runawayMacrosTerminate();
    void scriptFileReading_data();
    void scriptFileReading();

private:
    void writeFile(const QString &name, const QByteArray &bytes);
    QString inDir(QString text) const { return text.replace(QLatin1String("$D"), m_dir.path()); }

    QTemporaryDir m_dir;
};

void TstPreparation::writeFile(const QString &name, const QByteArray &bytes)
{
    QFile file(m_dir.filePath(name));
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(bytes);
}

void TstPreparation::initTestCase()
{
    QVERIFY(m_dir.isValid());
    const QByteArray d = m_dir.path().toUtf8();
    writeFile("a.zt", "a->1\n");
    writeFile("nest.zt", "n->1\n#insert " + d + "/a.zt\nn->2\n");
    writeFile("zero.zt", QByteArray("z->1\n\0z->2\n", 11));
    writeFile("two.zt", "t->1\nt->2\n");
    writeFile("macro.zt", "宏->2\n");
    writeFile("sp ace.zt", "s->1");
    writeFile("c.zt2", "c2->1\n");
    writeFile("cn.zt", "鼠标->1,1\n");
    writeFile("crlfnest.zt", "#insert " + d + "/a.zt\r\nm->1\r\n");
    writeFile("self.zt", "#insert " + d + "/self.zt\nx->1\n");
    writeFile("p.zt", "#insert " + d + "/q.zt\np->1\n");
    writeFile("q.zt", "#insert " + d + "/p.zt\nq->1\n");
    // Three spellings of its own path: every round doubles the text.
    writeFile("dbl.zt",
        "#insert " + d + "/dbl.zt\n#insert " + d + "//dbl.zt\n#insert " + d + "///dbl.zt\nx->1\n");
    writeFile("bigself.zt", "#insert " + d + "/bigself.zt\n" + QByteArray(100000, 'y') + "->1\n");
}

void TstPreparation::comments_data()
{
    QTest::addColumn<QString>("script");
    QTest::addColumn<QStringList>("expected");

    QTest::newRow("trailing //") << "鼠标->1,1 // move" << QStringList {"鼠标->1,1"};
    QTest::newRow("web address keeps //")
        << "打开->http://a.cn/x" << QStringList {"打开->http://a.cn/x"};
    QTest::newRow("web address, then comment")
        << "打开->http://a.cn // go" << QStringList {"打开->http://a.cn"};
    QTest::newRow("whole line") << "// 鼠标->1,1\n延时->5" << QStringList {"延时->5"};
    QTest::newRow("indented whole line") << "   // 鼠标->1,1" << QStringList {};
    QTest::newRow("#: and #：") << "#:鼠标->1,1\n#：鼠标->2,2\n延时->5" << QStringList {"延时->5"};
    QTest::newRow("#： after a statement") << "鼠标->1,1 #：x" << QStringList {"鼠标->1,1"};
    QTest::newRow("block across lines")
        << "a->1\n/* b->2\nc->3 */\nd->4" << QStringList {"a->1", "d->4"};
    QTest::newRow("block inside a line") << "a->1 /* x->2 */ b" << QStringList {"a->1  b"};
    QTest::newRow("#[ #] across lines")
        << "a->1\n#[\nb->2\n#]\nc->3" << QStringList {"a->1", "c->3"};
    QTest::newRow("spellings mixed") << "/* b->2 #]\nc->3" << QStringList {"c->3"};
    QTest::newRow("two blocks") << "/* a */ b->1 /* c */\n/* d */e->2"
                                << QStringList {"b->1", "e->2"};
    QTest::newRow("unclosed block to the end") << "a->1\n/* b->2\nc->3" << QStringList {"a->1"};
    QTest::newRow("stray */ before /*")
        << "a->1 */\nb->2 /* c->3 */ d\ne->4" << QStringList {"a->1 */", "b->2  d", "e->4"};
    QTest::newRow("stray */ alone") << "a->1 */ b" << QStringList {"a->1 */ b"};
    QTest::newRow("block, then line comment") << "/* a */ b->1 // c" << QStringList {"b->1"};
}

void TstPreparation::comments()
{
    QFETCH(QString, script);
    QFETCH(QStringList, expected);
    QCOMPARE(prepareFull(script), expected);
}

void TstPreparation::macros_data()
{
    QTest::addColumn<QString>("script");
    QTest::addColumn<QStringList>("expected");

    QTest::newRow("; gives lines")
        << "#define P 鼠标->100,100;延时->50\nP" << QStringList {"鼠标->100,100", "延时->50"};
    QTest::newRow("directives in a row")
        << "#define A 鼠标\n#define B 延时\nA->1\nB->2" << QStringList {"鼠标->1", "延时->2"};
    // Each macro is replaced in the rest of the text, the later directive lines included.
    QTest::newRow("earlier rewrites later")
        << "#define P 1\n#define P 2\nx->P" << QStringList {"x->2"};
    QTest::newRow("inside words") << "#define 标 X\n鼠标->1" << QStringList {"鼠X->1"};
    QTest::newRow("inside keywords")
        << "#define else y->1\n{\nelse\n}" << QStringList {"{", "y->1", "}"};
    QTest::newRow("case-sensitive") << "#define p q\nP->p" << QStringList {"P->q"};
    QTest::newRow("late #define is a plain line")
        << "a->1\n#define P q\nP->2" << QStringList {"a->1", "P->2"};
    QTest::newRow("late #define with arrow kept")
        << "a->1\n#define P q->1\nP" << QStringList {"a->1", "#define P q->1"};
    QTest::newRow("one leading blank") << " #define P q->1\nP" << QStringList {"q->1"};
    QTest::newRow("one leading tab") << "\t#define P q->1\nP" << QStringList {"q->1"};
    QTest::newRow("one leading line feed") << "\n#define P q->1\nP" << QStringList {"q->1"};
    QTest::newRow("two leading blanks") << "  #define P q->1\nP" << QStringList {"#define P q->1"};
    QTest::newRow("directive without line feed")
        << "#define P q->1" << QStringList {"#define P q->1"};
    // Block comments go first, line comments last.
    QTest::newRow("after a block comment") << "/* c */\n#define P q\nP->1" << QStringList {"q->1"};
    QTest::newRow("after a line comment") << "// c\n#define P q\nP->1" << QStringList {"P->1"};
}

void TstPreparation::macros()
{
    QFETCH(QString, script);
    QFETCH(QStringList, expected);
    QCOMPARE(prepareFull(script), expected);
}

void TstPreparation::lineFilter_data()
{
    QTest::addColumn<QString>("script");
    QTest::addColumn<QStringList>("expected");

    QTest::newRow("block lines kept") << "{\n}\nelse" << QStringList {"{", "}", "else"};
    QTest::newRow("trimmed") << "  {  \n\telse\t\n  a -> b  "
                             << QStringList {"{", "else", "a -> b"};
    QTest::newRow("other spellings dropped") << "Else\nELSE\n{ x\nelse {\n{}" << QStringList {};
    QTest::newRow("no arrow dropped") << "hello\n鼠标 1,1\n-\n>\n- >" << QStringList {};
    QTest::newRow("empty lines") << "\n\n a->1 \n\n\n" << QStringList {"a->1"};
    QTest::newRow("arrow anywhere") << "x->\n->y\n->" << QStringList {"x->", "->y", "->"};
}

void TstPreparation::lineFilter()
{
    QFETCH(QString, script);
    QFETCH(QStringList, expected);
    QCOMPARE(prepareFull(script), expected);
}

void TstPreparation::reducedPreparation_data()
{
    QTest::addColumn<QString>("script");
    QTest::addColumn<QStringList>("full");
    QTest::addColumn<QStringList>("reduced");

    QTest::newRow("block comment")
        << "/*\na->1\n*/\nb->2" << QStringList {"b->2"} << QStringList {"a->1", "b->2"};
    QTest::newRow("#[ #]") << "#[\na->1\n#]" << QStringList {} << QStringList {"a->1"};
    QTest::newRow("#:") << "#:a->1" << QStringList {} << QStringList {"#:a->1"};
    QTest::newRow("line comment") << "a->1 // x" << QStringList {"a->1"} << QStringList {"a->1"};
    QTest::newRow("macro") << "#define P q\nP->1" << QStringList {"q->1"} << QStringList {"q->1"};
}

void TstPreparation::reducedPreparation()
{
    QFETCH(QString, script);
    QFETCH(QStringList, full);
    QFETCH(QStringList, reduced);
    QCOMPARE(prepareFull(script), full);
    QCOMPARE(prepareReduced(script), reduced);
}

void TstPreparation::inclusions_data()
{
    QTest::addColumn<QString>("script");
    QTest::addColumn<QStringList>("expected");

    QTest::newRow("simple") << "#insert $D/a.zt\nb->1" << QStringList {"a->1", "b->1"};
    QTest::newRow("nested") << "x->0\n#insert $D/nest.zt"
                            << QStringList {"x->0", "n->1", "a->1", "n->2"};
    QTest::newRow("two identical lines")
        << "#insert $D/a.zt\nb->1\n#insert $D/a.zt" << QStringList {"a->1", "b->1", "a->1"};
    QTest::newRow("stops at zero byte") << "#insert $D/zero.zt" << QStringList {"z->1"};
    QTest::newRow("path with a blank") << "#insert $D/sp ace.zt" << QStringList {"s->1"};
    QTest::newRow("local 8-bit text") << "#insert $D/cn.zt" << QStringList {"鼠标->1,1"};
    QTest::newRow("no macros in inserted text")
        << "#define 宏 q\n#insert $D/macro.zt\n宏->1" << QStringList {"宏->2", "q->1"};
    QTest::newRow("missing file") << "#insert $D/none.zt\nb->1" << QStringList {"b->1"};
    QTest::newRow("missing after existing")
        << "#insert $D/a.zt\n#insert $D/none.zt" << QStringList {"a->1"};
    QTest::newRow("missing before existing")
        << "#insert $D/none.zt\n#insert $D/a.zt" << QStringList {"a->1"};
    QTest::newRow("missing path, existing longer path")
        << "#insert $D/c.zt2\n#insert $D/c.zt" << QStringList {"c2->1"};
    QTest::newRow("inside a block comment") << "/*\n#insert $D/a.zt\n*/" << QStringList {};
    // Inclusion comes before line comments: only the first inserted line is commented out.
    QTest::newRow("behind //") << "// #insert $D/two.zt" << QStringList {"t->2"};
}

void TstPreparation::inclusions()
{
    QFETCH(QString, script);
    QFETCH(QStringList, expected);
    QCOMPARE(prepareFull(inDir(script)), expected);
}

void TstPreparation::missingInclusionStaysInText()
{
    const FileReader none = [](const QString &) { return std::optional<QString>(); };
    const QString text = QStringLiteral("a\n#insert x.zt\nb\n#insert y.zt\n#insert x.zt");
    QCOMPARE(expandInclusions(text, none), text);
}

void TstPreparation::identicalInclusionsReadOnce()
{
    QStringList asked;
    const FileReader reader = [&](const QString &path) -> std::optional<QString> {
        asked << path;
        return QStringLiteral("i->1");
    };
    QCOMPARE(prepareReduced(QStringLiteral("#insert f.zt\nb->1\n#insert f.zt\n"), reader),
        (QStringList {"i->1", "b->1", "i->1"}));
    QCOMPARE(asked, QStringList {"f.zt"});
}

void TstPreparation::crlfBehavesLikeLf_data()
{
    QTest::addColumn<QString>("script");
    QTest::addColumn<QStringList>("expected");

    QTest::newRow("macro of two lines")
        << "#define P 鼠标->1,1;延时->5\nP\nx->P"
        << QStringList {"鼠标->1,1", "延时->5", "x->鼠标->1,1", "延时->5"};
    QTest::newRow("macro inside a line") << "#define N 5\n延时->N0" << QStringList {"延时->50"};
    QTest::newRow("macros in a row") << "#define A 1\n#define B 2\nx->AB" << QStringList {"x->12"};
    QTest::newRow("empty line before #define")
        << "\n#define N 5\n延时->N" << QStringList {"延时->5"};
    QTest::newRow("insert path") << "#insert $D/a.zt\nb->1" << QStringList {"a->1", "b->1"};
    QTest::newRow("identical inserts")
        << "#insert $D/a.zt\n#insert $D/a.zt" << QStringList {"a->1", "a->1"};
    QTest::newRow("insert from a CR LF file")
        << "#insert $D/crlfnest.zt" << QStringList {"a->1", "m->1"};
    QTest::newRow("missing insert") << "#insert $D/none.zt\nb->1" << QStringList {"b->1"};
    QTest::newRow("comments and blocks")
        << "// c\n对比->(变1==)\n{\n复制->a // x\n}\nelse\n{\n/* c\n d */\n#[\ne->1\n#]\n}"
        << QStringList {"对比->(变1==)", "{", "复制->a", "}", "else", "{", "}"};
}

void TstPreparation::crlfBehavesLikeLf()
{
    QFETCH(QString, script);
    QFETCH(QStringList, expected);
    const QString lf = inDir(script);
    QString crlf = lf;
    crlf.replace(QLatin1String("\n"), QLatin1String("\r\n"));
    QCOMPARE(prepareFull(lf), expected);
    QCOMPARE(prepareFull(crlf), expected);
    QCOMPARE(prepareReduced(crlf), prepareReduced(lf));
}

static qint64 totalSize(const QStringList &lines)
{
    qint64 size = 0;
    for (const QString &line : lines)
        size += line.size();
    return size;
}

void TstPreparation::runawayInclusionsTerminate_data()
{
    QTest::addColumn<QString>("script");
    QTest::addColumn<QString>("bodyLine");

    QTest::newRow("file inserts itself") << "#insert $D/self.zt"
                                         << "x->1";
    QTest::newRow("cycle of two files") << "#insert $D/p.zt"
                                        << "q->1";
    QTest::newRow("doubling self-insert") << "#insert $D/dbl.zt"
                                          << "x->1";
    QTest::newRow("large self-insert") << "#insert $D/bigself.zt" << QString(100000, 'y') + "->1";
}

void TstPreparation::runawayInclusionsTerminate()
{
    QFETCH(QString, script);
    QFETCH(QString, bodyLine);
    QElapsedTimer timer;
    timer.start();
    const QStringList lines = prepareFull(inDir(script));
    QVERIFY2(timer.elapsed() < 10000, qPrintable(QString::number(timer.elapsed()) + " ms"));
    QVERIFY(lines.contains(bodyLine));
    QVERIFY(totalSize(lines) <= maxPreparedChars);
}

void TstPreparation::runawayMacrosTerminate_data()
{
    QTest::addColumn<QString>("script");

    QString laughs;
    for (char c = 'A'; c < 'J'; ++c)
        laughs += QStringLiteral("#define %1 %2\n").arg(QChar(c), QString(10, QChar(c + 1)));
    QTest::newRow("nine levels of ten") << laughs + "x->A\n";
    QTest::newRow("value makes a directive") << "#define Q #define Q Q;Q\nQ\nQ\nx->Q\n";
}

void TstPreparation::runawayMacrosTerminate()
{
    QFETCH(QString, script);
    QElapsedTimer timer;
    timer.start();
    const QStringList lines = prepareFull(script);
    QVERIFY2(timer.elapsed() < 10000, qPrintable(QString::number(timer.elapsed()) + " ms"));
    QVERIFY(totalSize(lines) <= maxPreparedChars + script.size());
}

void TstPreparation::scriptFileReading_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("expected");

    QTest::newRow("zero byte ends the text") << QByteArray("a->1\n\0b->2", 10) << "a->1\n";
    QTest::newRow("at most 40960 bytes") << QByteArray(50000, 'a') << QString(40960, 'a');
    QTest::newRow("local 8-bit text") << QByteArray("鼠标->1,1\r\n") << "鼠标->1,1\r\n";
}

void TstPreparation::scriptFileReading()
{
    QFETCH(QByteArray, bytes);
    QFETCH(QString, expected);
    writeFile("script.zt", bytes);
    QCOMPARE(readScriptFile(m_dir.filePath("script.zt")), expected);
    QCOMPARE(readScriptFile(m_dir.filePath("absent.zt")), QString());
}

QTEST_GUILESS_MAIN(TstPreparation)
#include "tst_preparation.moc"
