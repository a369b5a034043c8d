#include "engine/preparation.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QRandomGenerator>
#include <QRegularExpression>
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
    void sameAsWholeTextSteps_data();
    void sameAsWholeTextSteps();
    void inclusionLimits_data();
    void inclusionLimits();
    void boundedTime_data();
    void boundedTime();
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
    // One line inserting itself twice: every round made a new, longer path on that line.
    writeFile("line.zt", "#insert " + d + "/line.zt X #insert " + d + "/line.zt ");
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
    // Every copy of a removed piece goes with it, also inside a later comment, which then ends
    // at its own "*/".
    QTest::newRow("copy inside a later comment")
        << "/*a*/ x->1 /*b /*a*/ c->2 */ y->3" << QStringList {"x->1  y->3"};
    QTest::newRow("copies side by side") << "/*a*//*a*/x->1 /*a*/" << QStringList {"x->1"};
    QTest::newRow("copies between * and /")
        << "a->1 */*a*/ /*a*/* b->2" << QStringList {"a->1 * * b->2"};
    QTest::newRow("copy glued to the next comment")
        << "/*a*/ b->1 /*a*//*c*/ d->2 /*c*/" << QStringList {"b->1  d->2"};
    QTest::newRow("/*/ is a whole piece")
        << "x->/*/ y->1 */ /*/ z->2" << QStringList {"x-> y->1 */  z->2"};
    // A copy inside a comment changes where that comment ends; many comments after it.
    QString many = QStringLiteral("/*a*/ b->0\n/* /*a*/ */c->0\n");
    QStringList lines {"b->0", "c->0"};
    for (int i = 0; i < 3000; ++i) {
        many += QStringLiteral("/*%1*/x->%1\n").arg(i);
        lines << QStringLiteral("x->%1").arg(i);
    }
    QTest::newRow("copy inside a comment, then many") << many << lines;
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
    // The directive line is removed wherever it stands, before the name is replaced.
    QTest::newRow("later copy of the line")
        << "#define A 1\nx->A\n#define A 1\ny->A" << QStringList {"x->1", "y->1"};
    QTest::newRow("copy inside a line joins it to the next")
        << "#define A 1\nab#define A 1\ncd->A" << QStringList {"abcd->1"};
    QTest::newRow("name formed by the join")
        << "#define AB 1\nx->A#define AB 1\nB" << QStringList {"x->1"};
    // After an empty line the directive line begins with its line feed, and so do the copies.
    QTest::newRow("line feed before the line")
        << "#define A 1\n\n#define B 2\nx->AB\nz\n#define B 2\ny->B"
        << QStringList {"x->12", "zy->2"};
    QTest::newRow("CR LF before the line")
        << "#define A 1\r\n\r\n#define B 2\r\nx\r\n#define B 2\r\ny->AB" << QStringList {"xy->12"};
    QTest::newRow("value is no directive")
        << "#define P a->1;#define Q 2\nP\nb->Q" << QStringList {"a->1", "b->Q"};
    QTest::newRow("value spans lines")
        << "#define N 2;3\nx->N\n#define M 4\ny->N" << QStringList {"x->2", "y->2"};
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
    // Whole copies of a missing directive stay, even where an existing path begins them.
    QTest::newRow("copies of a missing directive")
        << "#insert $D/a.zt->x\n#insert $D/a.zt\n#insert $D/a.zt->x"
        << QStringList {"#insert $D/a.zt->x", "a->1", "#insert $D/a.zt->x"};
    QTest::newRow("existing path begins a longer line")
        << "#insert $D/a.zt->x y\n#insert $D/a.zt\n#insert $D/a.zt->x"
        << QStringList {"a->1", "->x y", "a->1", "#insert $D/a.zt->x"};
}

void TstPreparation::inclusions()
{
    QFETCH(QString, script);
    QFETCH(QStringList, expected);
    for (QString &line : expected)
        line = inDir(line);
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
    // Directive lines that differ only in the blanks between name and value, each name in all
    // the lines after it: a round must cost its own line, not a walk over the text.
    QString swaps;
    for (int k = 0; k < 16384; ++k) {
        QString blanks;
        for (int bit = 0; bit < 14; ++bit)
            blanks += (k >> bit) & 1 ? QLatin1Char('\t') : QLatin1Char(' ');
        swaps += k % 2 ? "#define y" + blanks + "x\n" : "#define x" + blanks + "y\n";
    }
    for (int i = 0; i < 200; ++i)
        swaps += "a->" + QString(500, QLatin1Char('x')) + "\n";
    QTest::newRow("names in every later line") << swaps;
    // Each round rewrites one long line without making it longer: the budget of written text
    // ends it (some 30 G characters otherwise).
    QString line;
    QString defines;
    for (int i = 0; i < 100000; ++i) {
        const QString name = QStringLiteral("N%1").arg(i, 5, 10, QLatin1Char('0'));
        defines += "#define " + name + " n\n";
        line += name;
    }
    QTest::newRow("one long line rewritten by every macro") << defines + "x->" + line + "\n";
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

// The preparation steps done literally on the whole text, round after round: slow, but plainly
// what the format says. Directives of missing files are parked behind markers with all their
// whole copies, and put back at the end.
namespace literal {

QString blockComments(QString text)
{
    for (int start = text.indexOf("/*"); start >= 0; start = text.indexOf("/*")) {
        const int end = text.indexOf("*/", start);
        text.remove(end < 0 ? text.mid(start) : text.mid(start, end + 2 - start));
    }
    return text;
}

QString macros(QString text)
{
    static const QRegularExpression directive("\\A(?:\\r\\n|\\s)?#define\\s+(\\S+)\\s+([^\\n]+)\\n",
        QRegularExpression::UseUnicodePropertiesOption);
    for (QRegularExpressionMatch m = directive.match(text); m.hasMatch();
         m = directive.match(text)) {
        QString value = m.captured(2);
        if (value.endsWith('\r'))
            value.chop(1);
        text.remove(m.captured(0));
        text.replace(m.captured(1), value.replace(';', '\n'));
        if (text.size() > 100000)
            return QString(); // runaway: the limits are tested elsewhere
    }
    return text;
}

// The last "#insert", white space, and a path (the rest of its line without trailing blanks).
bool lastInsert(const QString &text, QString *directive, QString *path)
{
    for (int at = text.lastIndexOf("#insert"); at >= 0;
         at = at > 0 ? text.lastIndexOf("#insert", at - 1) : -1) {
        int start = at + 7;
        while (start < text.size() && text.at(start).isSpace())
            ++start;
        if (start == at + 7 || start == text.size())
            continue;
        int end = text.indexOf('\n', start);
        for (end = end < 0 ? text.size() : end; text.at(end - 1).isSpace();)
            --end;
        *directive = text.mid(at, end - at);
        *path = text.mid(start, end - start);
        return true;
    }
    return false;
}

QString inclusions(QString text, const FileReader &reader)
{
    QStringList parked;
    QString directive;
    QString path;
    for (int round = 0; lastInsert(text, &directive, &path); ++round) {
        if (round > 1000)
            return QString(); // a cycle: the limits are tested elsewhere
        if (const std::optional<QString> content = reader(QDir::toNativeSeparators(path))) {
            text.replace(directive, *content);
            continue;
        }
        const QString marker = QChar(0xFDD0) + QString::number(parked.size()) + QChar(0xFDD1);
        parked << directive;
        for (int from = 0, at; (at = text.indexOf(directive, from)) >= 0;) {
            int after = at + directive.size();
            while (after < text.size() && text.at(after) != '\n' && text.at(after).isSpace())
                ++after;
            from = at + directive.size();
            if (after == text.size() || text.at(after) == '\n') {
                text.replace(at, directive.size(), marker);
                from = at + marker.size();
            }
        }
    }
    for (int i = parked.size() - 1; i >= 0; --i)
        text.replace(QChar(0xFDD0) + QString::number(i) + QChar(0xFDD1), parked.at(i));
    return text;
}

} // namespace literal

void TstPreparation::sameAsWholeTextSteps_data()
{
    QTest::addColumn<QStringList>("pieces");
    QTest::addColumn<int>("step"); // 0 comments, 1 macros, 2 inclusions, 3 all

    const QStringList comments {"/", "*", "/*", "*/", "a", "\n", " ", "/*a*/", "/*b*/", "/*/",
        "*/*a*/", "/*a*//*a*/", "/*b /*a*/ */", "x/", "/* /*b*/ */", "x->1"};
    const QStringList macros {"#define ", "A", "B", "AB", "ABCDEFGHIJ", "XABCDEFGHIJK", " ", "\t",
        "\n", "\n", "\r\n", ";", "x->", "#define A B\n", "\n#define AB x\n", "x#define A B\n",
        "#define\nA B\n", "#define A \n", "#define Q #define Q Q;Q\n", "Q", "#define A A\n",
        "#define ABCDEFGHIJ A;ABCDEFGHIJ\n"};
    const QStringList inclusions {"#insert", " ", "\n", "f", "g", "fg", "h", "\r\n", "x->1",
        "#insert f\n", "#insert g ", "#ins", "ert", "k", "\t", "#insert f->x\n", "#insert\n"};
    QTest::newRow("comments") << comments << 0;
    QTest::newRow("macros") << macros << 1;
    QTest::newRow("inclusions") << inclusions << 2;
    QTest::newRow("all") << comments + macros + inclusions << 3;
}

// Random scripts of the pieces that are hard for the fast steps: copies of comments inside and
// next to others, directive lines repeated, joined and split over lines, inserted directives
// that begin other ones.
void TstPreparation::sameAsWholeTextSteps()
{
    QFETCH(QStringList, pieces);
    QFETCH(int, step);
    const QHash<QString, QString> files {{"f", "f->1\n#insert g\n"}, {"g", "g->1"},
        {"fg", "#insert f\n#insert g "}, {"k", "#ins"}, {"g  x", "#insert"}};
    const FileReader reader = [&files](const QString &path) -> std::optional<QString> {
        if (files.contains(path))
            return files.value(path);
        return std::nullopt;
    };
    // With two directives on a line, the later one's kept text reads into the earlier one's
    // path; the markers above would put themselves there instead. Such lines are left out.
    const auto twoOnALine = [](const QString &text) {
        for (const QString &line : text.split('\n')) {
            if (line.count("#insert") > 1)
                return true;
        }
        return false;
    };
    QRandomGenerator random(step + 1);
    for (int round = 0; round < 4000; ++round) {
        QString script;
        for (int n = random.bounded(1, 40); n > 0; --n)
            script += pieces.at(random.bounded(pieces.size()));
        QString expected;
        QString actual;
        if (step == 0) {
            expected = literal::blockComments(script);
            actual = removeBlockComments(script);
        } else if (step == 1) {
            expected = literal::macros(script);
            if (expected.isNull())
                continue;
            actual = expandMacros(script);
        } else {
            QString text = step == 3 ? literal::macros(literal::blockComments(script)) : script;
            if (text.isNull() || twoOnALine(text))
                continue;
            expected = literal::inclusions(text, reader);
            if (expected.isNull())
                continue;
            actual = step == 3 ? prepareFull(script, reader).join('\n')
                               : expandInclusions(script, reader);
            if (step == 3)
                expected = filterLines(expected).join('\n');
        }
        if (actual != expected)
            QFAIL(qPrintable(QStringLiteral("script %1\nexpected %2\nactual   %3")
                                 .arg(script.toUtf8().toPercentEncoding(), expected, actual)));
    }
}

void TstPreparation::inclusionLimits_data()
{
    QTest::addColumn<QString>("script");
    QTest::addColumn<QString>("file"); // what every path reads
    QTest::addColumn<int>("reads");
    QTest::addColumn<int>("minLines");
    QTest::addColumn<int>("maxLines");

    const QString longest(maxInsertPathChars, QLatin1Char('p'));
    QTest::newRow("longest path is read") << "#insert " + longest << "i->1" << 1 << 1 << 1;
    // A longer one names no file; its line stays, as a missing file's does.
    QTest::newRow("longer path is not read") << "#insert " + longest + "p->x"
                                             << "i->1" << 0 << 1 << 1;
    // Two directives per copy: the copies double each round until the budget of insertions.
    QTest::newRow("doubling copies") << "#insert s"
                                     << "#insert s\nx->1\n#insert s\n"
                                     << 1 << maxInsertions / 2 << maxInsertions;
}

void TstPreparation::inclusionLimits()
{
    QFETCH(QString, script);
    QFETCH(QString, file);
    QFETCH(int, reads);
    QFETCH(int, minLines);
    QFETCH(int, maxLines);
    int asked = 0;
    const FileReader reader = [&](const QString &) -> std::optional<QString> {
        ++asked;
        return file;
    };
    const QStringList lines = prepareFull(script, reader);
    QCOMPARE(asked, reads);
    QVERIFY2(lines.size() >= minLines && lines.size() <= maxLines,
        qPrintable(QString::number(lines.size())));
}

// Inputs that once took minutes. The bounds leave room for slow and sanitizer builds; the
// benchmark reports the real figures (milliseconds).
void TstPreparation::boundedTime_data()
{
    QTest::addColumn<QString>("script");
    QTest::addColumn<bool>("pieces"); // #insert n reads the n-th piece of the script, as fuzzing
    QTest::addColumn<QString>("expected"); // a line the result holds, if any

    QTest::newRow("self-inserting line")
        << readScriptFile(m_dir.filePath("line.zt")) << false << QString();
    QTest::newRow("fuzzer input of 74 bytes") << QStringLiteral(
        "#define I #insert\nab->1 /*cc*/\nI 1 q I 1 \n--\n#insert 1 q #insert "
        "1 \n--\nabc") << true << "ab->1";
    QTest::newRow("fuzzer input of 22 bytes") << "#insert 0 x #insert 0 " << true << QString();

    const auto name = [](int i) {
        QString n(4, QLatin1Char('A'));
        for (int k = 3; k >= 0; --k, i /= 26)
            n[k] = QLatin1Char(char('A' + i % 26));
        return n;
    };
    QString defines;
    for (int i = 0; i < 100000; ++i)
        defines += QStringLiteral("#define %1 %2\n").arg(name(i)).arg(i);
    for (int i = 0; i < 100000; i += 7)
        defines += QStringLiteral("x->%1\n").arg(name(i));
    QTest::newRow("100,000 #define lines") << defines << false << "x->99995";

    const int size = 64 * 1024;
    QString comments;
    for (int i = 0; comments.size() < size; ++i)
        comments += QStringLiteral("/*%1*/ x->%1\n").arg(i);
    QTest::newRow("64 KB of comments") << comments << false << "x->3000";
    // Copies inside other comments: every round searches the rest of the text.
    QString nested;
    QString copies;
    for (int i = 0; nested.size() + copies.size() < size; ++i) {
        nested += QStringLiteral("/*%1*/ x->%1\n").arg(i);
        copies += QStringLiteral("/* /*%1*/ */ y->%1\n").arg(i);
    }
    QTest::newRow("64 KB of comments inside comments") << nested + copies << false << "y->1000";
    QString chain;
    for (int i = 0; chain.size() < size; ++i)
        chain += QStringLiteral("#define M%1 x M%2 y\n")
                     .arg(i, 5, 10, QLatin1Char('0'))
                     .arg(i + 1, 5, 10, QLatin1Char('0'));
    QTest::newRow("64 KB of macros in a chain") << chain + "a->M00000" << false << QString();
    QString rewriting;
    for (int i = 0; rewriting.size() < size; ++i)
        rewriting += QStringLiteral("#define Q%1 Q%2\n").arg(i).arg(i + 1);
    QTest::newRow("64 KB of macros naming later ones") << rewriting + "a->Q0" << false << QString();
    QString word;
    QString longWord;
    for (int k = 0; k < 800; ++k) {
        longWord += QStringLiteral("#define N%1 n\n").arg(k, 3, 10, QLatin1Char('0'));
        word += QStringLiteral("N%1").arg(k, 3, 10, QLatin1Char('0'));
    }
    while (longWord.size() < size)
        longWord += "x->" + word + "\n";
    QTest::newRow("64 KB of long words and macros")
        << longWord << false << "x->" + QString(800, 'n');
    QString spellings;
    for (int i = 0; spellings.size() < size; ++i) {
        QString path = QStringLiteral("$D");
        for (int bit = 0; bit < 12; ++bit)
            path += (i >> bit) & 1 ? QStringLiteral("//.") : QStringLiteral("/.");
        spellings += QStringLiteral("#insert %1/a.zt\n").arg(path);
    }
    QTest::newRow("64 KB of inserts of a small file") << spellings << false << "a->1";
    QString missing;
    for (int i = 0; missing.size() < size; ++i)
        missing += QStringLiteral("#insert x%1 ").arg(i);
    QTest::newRow("64 KB line of missing inserts") << missing + "->" << false << QString();
}

void TstPreparation::boundedTime()
{
    QFETCH(QString, script);
    QFETCH(bool, pieces);
    QFETCH(QString, expected);
    script = inDir(script);
    const QStringList parts = script.split(QStringLiteral("\n--\n"));
    const FileReader fromPieces = [&parts](const QString &path) -> std::optional<QString> {
        bool ok = false;
        const int i = path.trimmed().toInt(&ok);
        if (!ok || i < 0 || i >= parts.size())
            return std::nullopt;
        return parts.at(i);
    };
    const FileReader reader = pieces ? fromPieces : FileReader(readInsertFile);
    QElapsedTimer timer;
    timer.start();
    const QStringList full = prepareFull(script, reader);
    const qint64 fullTime = timer.restart();
    prepareReduced(script, reader); // a refresh runs the same expansion on the GUI thread
    const qint64 reducedTime = timer.elapsed();
    QVERIFY2(fullTime < 5000 && reducedTime < 5000,
        qPrintable(QStringLiteral("%1 ms, %2 ms").arg(fullTime).arg(reducedTime)));
    QVERIFY(totalSize(full) <= maxPreparedChars);
    if (!expected.isEmpty())
        QVERIFY(full.contains(inDir(expected)));
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
