#include "engine/preparation.h"

#include <QDir>
#include <QFile>
#include <QHash>
#include <QRandomGenerator>
#include <QtTest>

using namespace preparation;

using Files = QHash<QString, QString>;
Q_DECLARE_METATYPE(Files)

// Where each prepared line came from: the file and line behind it, and whether a macro wrote it.
class TstOrigins : public QObject
{
    Q_OBJECT

private slots:
    void origins_data();
    void origins();
    void sameLinesAsFullPreparation_data();
    void sameLinesAsFullPreparation();
    void recordedInputs_data();
    void recordedInputs();
};

namespace {

FileReader readerOf(const Files &files)
{
    return [files](const QString &path) -> std::optional<QString> {
        if (files.contains(path))
            return files.value(path);
        return std::nullopt;
    };
}

// The fuzz target's reader: the path is the number of a piece of the script itself.
FileReader piecesReader(const QString &text)
{
    const QStringList pieces = text.split(QStringLiteral("\n--\n"));
    return [pieces](const QString &path) -> std::optional<QString> {
        bool ok = false;
        const int i = path.trimmed().toInt(&ok);
        if (!ok || i < 0 || i >= pieces.size())
            return std::nullopt;
        return pieces.at(i);
    };
}

// "line@origin", the origin written "12", "12r" (rewritten) or "a.zt:3".
QStringList described(const PreparedScript &prepared)
{
    QStringList out;
    for (int i = 0; i < prepared.lines.size(); ++i) {
        const LineOrigin &o = prepared.origins.value(i);
        QString where = o.file.isEmpty() ? QString::number(o.line)
                                         : o.file + QLatin1Char(':') + QString::number(o.line);
        if (o.rewritten)
            where += QLatin1Char('r');
        out << prepared.lines.at(i) + QLatin1Char('@') + where;
    }
    return out;
}

// What is wrong with the origins of the script's preparation; empty when nothing is. The lines
// must be prepareFull's; each origin must name a line of its file, and a line no macro wrote
// must begin with a character of that line (with the comment spellings of the script itself
// read as what they stand for).
// The reduced preparation of a refresh is held to prepareReduced the same way.
QString faultOf(const QString &script, const FileReader &reader, bool reduced = false)
{
    const PreparedScript prepared = reduced ? prepareReducedWithOrigins(script, reader)
                                            : prepareWithOrigins(script, reader);
    if (prepared.lines != (reduced ? prepareReduced(script, reader) : prepareFull(script, reader)))
        return QStringLiteral("lines differ from the preparation without origins");
    if (prepared.origins.size() != prepared.lines.size())
        return QStringLiteral("%1 origins for %2 lines")
            .arg(prepared.origins.size())
            .arg(prepared.lines.size());
    for (int i = 0; i < prepared.lines.size(); ++i) {
        const LineOrigin &o = prepared.origins.at(i);
        QString source = script;
        if (o.file.isEmpty()) {
            if (!reduced) {
                source.replace(QLatin1String("#:"), QLatin1String("//"));
                source.replace(QStringLiteral("#："), QLatin1String("//"));
                source.replace(QLatin1String("#["), QLatin1String("/*"));
                source.replace(QLatin1String("#]"), QLatin1String("*/"));
            }
        } else {
            const std::optional<QString> file = reader(o.file);
            if (!file)
                return QStringLiteral("line %1 comes from a file never read: %2")
                    .arg(i)
                    .arg(o.file);
            source = *file;
        }
        const QStringList sourceLines = source.split(QLatin1Char('\n'));
        if (o.line < 1 || o.line > sourceLines.size())
            return QStringLiteral("line %1 comes from line %2 of %3 lines")
                .arg(i)
                .arg(o.line)
                .arg(sourceLines.size());
        if (!o.rewritten && !sourceLines.at(o.line - 1).contains(prepared.lines.at(i).at(0)))
            return QStringLiteral("line %1 (%2) does not begin on line %3")
                .arg(i)
                .arg(prepared.lines.at(i))
                .arg(o.line);
    }
    return QString();
}

} // namespace

void TstOrigins::origins_data()
{
    QTest::addColumn<QString>("script");
    QTest::addColumn<Files>("files");
    QTest::addColumn<QStringList>("expected");

    const Files none;
    const Files a {{"a.zt", "x->1\ny->2\n"}};
    const Files nested {{"a.zt", "x->1\ny->2\n"}, {"n.zt", "n->1\n#insert a.zt\nn->2"}};

    QTest::newRow("plain lines") << "a->1\n\n  b->2\n{\n}\nelse\nno arrow\n"
                                 << none
                                 << QStringList {"a->1@1", "b->2@3", "{@4", "}@5", "else@6"};
    QTest::newRow("line comments") << "// x->1\ny->2 // z\nhttp://x->1\n"
                                   << none << QStringList {"y->2@2", "http://x->1@3"};
    QTest::newRow("block comment before a statement")
        << "a->1\n/* x->1\ny */ b->2\nc->3\n"
        << none << QStringList {"a->1@1", "b->2@3", "c->3@4"};
    QTest::newRow("statement around a comment") << "x->/*\n\n*/1\ny->2\n"
                                                << none << QStringList {"x->1@1", "y->2@4"};
    QTest::newRow("comment over statements")
        << "/* a->1\nb->2 */\nc->3" << none << QStringList {"c->3@3"};
    QTest::newRow("unclosed comment") << "a->1\n/* b->2\nc->3" << none << QStringList {"a->1@1"};
    QTest::newRow("comment spellings")
        << QStringLiteral("#[ a->1\n#] b->2\n#: c->1\nd->2 #: e\n#：f->1\ng->3\n") << none
        << QStringList {"b->2@2", "d->2@4", "g->3@6"};
    QTest::newRow("macro use") << QStringLiteral("#define M 鼠标->1,1\nM\nx->2\n") << none
                               << QStringList {QStringLiteral("鼠标->1,1@2r"), "x->2@3"};
    QTest::newRow("macro of several statements")
        << "#define M a->1;b->2\nz->0\nM\n"
        << none << QStringList {"z->0@2", "a->1@3r", "b->2@3r"};
    QTest::newRow("macro inside a line") << "#define N 5\nx->N\ny->1\n"
                                         << none << QStringList {"x->5@2r", "y->1@3"};
    QTest::newRow("macros in turn") << "#define A B;B\n#define B c->1\nA\n"
                                    << none << QStringList {"c->1@3r", "c->1@3r"};
    QTest::newRow("CR LF") << "a->1\r\n\r\nb->2\r\n" << none << QStringList {"a->1@1", "b->2@3"};
    QTest::newRow("CR LF macro") << "#define M a->1\r\nM\r\nb->2\r\n"
                                 << none << QStringList {"a->1@2r", "b->2@3"};
    QTest::newRow("insert") << "s->1\n#insert a.zt\ns->2\n"
                            << a << QStringList {"s->1@1", "x->1@a.zt:1", "y->2@a.zt:2", "s->2@3"};
    QTest::newRow("nested insert")
        << "#insert n.zt\nm->1" << nested
        << QStringList {"n->1@n.zt:1", "x->1@a.zt:1", "y->2@a.zt:2", "n->2@n.zt:3", "m->1@2"};
    QTest::newRow("inserted text splits a line")
        << "q->0 #insert a.zt\nr->1" << a << QStringList {"q->0 x->1@1", "y->2@a.zt:2", "r->1@2"};
    QTest::newRow("insert with CR LF") << "\r\n#insert a.zt\r\nz->1\r\n"
                                       << a << QStringList {"x->1@a.zt:1", "y->2@a.zt:2", "z->1@3"};
    QTest::newRow("missing file") << "#insert none\nk->1" << a << QStringList {"k->1@2"};
    QTest::newRow("macro that inserts")
        << "#define F #insert a.zt\nw->1\nF\n"
        << a << QStringList {"w->1@2", "x->1@a.zt:1", "y->2@a.zt:2"};
    QTest::newRow("same file twice")
        << "#insert a.zt\nv->1\n#insert a.zt\n"
        << a << QStringList {"x->1@a.zt:1", "y->2@a.zt:2", "v->1@2", "x->1@a.zt:1", "y->2@a.zt:2"};
}

void TstOrigins::origins()
{
    QFETCH(QString, script);
    QFETCH(Files, files);
    QFETCH(QStringList, expected);
    const FileReader reader = readerOf(files);
    QCOMPARE(described(prepareWithOrigins(script, reader)), expected);
    QCOMPARE(faultOf(script, reader), QString());
}

void TstOrigins::sameLinesAsFullPreparation_data()
{
    QTest::addColumn<QStringList>("pieces");
    QTest::addColumn<bool>("filesInScript"); // paths are numbers of pieces of the script
    QTest::addColumn<int>("rounds");

    const QStringList comments {"/", "*", "/*", "*/", "a", "\n", " ", "/*a*/", "/*b*/", "/*/",
        "*/*a*/", "/*a*//*a*/", "/*b /*a*/ */", "x/", "/* /*b*/ */", "x->1", "#:", "#[", "#]",
        QStringLiteral("#："), "//", "\r\n"};
    const QStringList macros {"#define ", "A", "B", "AB", "ABCDEFGHIJ", "XABCDEFGHIJK", " ", "\t",
        "\n", "\n", "\r\n", ";", "x->", "#define A B\n", "\n#define AB x\n", "x#define A B\n",
        "#define\nA B\n", "#define A \n", "#define Q #define Q Q;Q\n", "Q", "#define A A\n",
        "#define ABCDEFGHIJ A;ABCDEFGHIJ\n", "#define A AA\n", "#define F #insert f\n", "F"};
    const QStringList inclusions {"#insert", " ", "\n", "f", "g", "fg", "h", "\r\n", "x->1",
        "#insert f\n", "#insert g ", "#ins", "ert", "k", "\t", "#insert f->x\n", "#insert\n"};
    const QStringList numbered {"#insert 0\n", "#insert 1\n", "#insert 2", "\n--\n", "y->2\n",
        "#define N #insert 1\n", "N", "/* ", " */", "\n"};
    QTest::newRow("comments") << comments << false << 3000;
    QTest::newRow("macros") << macros << false << 3000;
    QTest::newRow("inclusions") << inclusions << false << 3000;
    QTest::newRow("all") << comments + macros + inclusions << false << 3000;
    // Files that insert themselves grow to the budgets: fewer of them.
    QTest::newRow("files in the script") << numbered + macros + comments << true << 300;
}

// Random scripts of the pieces that are hard for the steps: comments inside and next to
// others, directive lines repeated, joined and split, inserts nested and repeated.
void TstOrigins::sameLinesAsFullPreparation()
{
    QFETCH(QStringList, pieces);
    QFETCH(bool, filesInScript);
    QFETCH(int, rounds);
    const FileReader fixed = readerOf({{"f", "f->1\n#insert g\n"}, {"g", "g->1"},
        {"fg", "#insert f\n#insert g "}, {"k", "#ins"}, {"g  x", "#insert"}});
    QRandomGenerator random(uint(qHash(QTest::currentDataTag())));
    for (int round = 0; round < rounds; ++round) {
        QString script;
        for (int n = random.bounded(1, 60); n > 0; --n)
            script += pieces.at(random.bounded(pieces.size()));
        const FileReader reader = filesInScript ? piecesReader(script) : fixed;
        QString fault = faultOf(script, reader);
        if (fault.isEmpty())
            fault = faultOf(script, reader, true);
        if (!fault.isEmpty())
            QFAIL(qPrintable(fault + QStringLiteral("\nscript ")
                + QString::fromLatin1(script.toUtf8().toPercentEncoding())));
    }
}

void TstOrigins::recordedInputs_data()
{
    QTest::addColumn<QString>("path");
    const QString root = QStringLiteral(QUORVEL_SOURCE_DIR "/tests/fuzz/");
    int found = 0;
    for (const QString &folder :
        {QStringLiteral("corpus/fuzz_script"), QStringLiteral("seeds/scripts")}) {
        const QDir dir(root + folder);
        for (const QString &name : dir.entryList(QDir::Files, QDir::Name)) {
            QTest::newRow(qPrintable(folder + QLatin1Char('/') + name)) << dir.filePath(name);
            ++found;
        }
    }
    QVERIFY(found > 0);
}

// The inputs kept for the fuzz target, read as it reads them.
void TstOrigins::recordedInputs()
{
    QFETCH(QString, path);
    QFile file(path);
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QString text = QString::fromUtf8(file.readAll());
    QCOMPARE(faultOf(text, piecesReader(text)), QString());
}

QTEST_GUILESS_MAIN(TstOrigins)
#include "tst_origins.moc"
