// The CSV rules on real files, the table editor's reading of them, and the script commands 存csv
// and 查csv that use them.
#include "csv/csvfile.h"
#include "csv/csvtable.h"
#include "testfiles.h"
#include "scriptrun.h"

#include <QTemporaryDir>
#include <QtTest>

class TstCsv : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir dir;

    QString path(const QString &name) const { return dir.filePath(name); }
    static QString error(int line, const QString &text)
    {
        return QStringLiteral("<span style=\"color:red;\">第%1行有误：").arg(line) + text
            + QStringLiteral("</span>");
    }

private slots:
    void lookupRule_data();
    void lookupRule();
    void appendCreatesAndAppends();
    void appendFailures_data();
    void appendFailures();
    void lookupFailures();
    void labelShortening_data();
    void labelShortening();
    void saveCommand_data();
    void saveCommand();
    void lookupCommand_data();
    void lookupCommand();
    void lookupOfUnopenableFileEndsTheRunQuietly();
    void tableRows_data();
    void tableRows();
    void tableLimits_data();
    void tableLimits();
};

void TstCsv::lookupRule_data()
{
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<QString>("key");
    QTest::addColumn<QString>("value");

    const QByteArray fruit = "apple,red\r\npear,green\r\n";
    QTest::newRow("next cell") << fruit << "pear"
                               << "green";
    QTest::newRow("key ends its line") << fruit << "red"
                                       << "";
    QTest::newRow("rest of cell ends the line") << fruit << "r,g"
                                                << "";
    QTest::newRow("prefix, first occurrence") << fruit << "app"
                                              << "red";
    QTest::newRow("missing") << fruit << "plum"
                             << "";
    QTest::newRow("last line without CR LF") << QByteArray("a,b\r\nx,key,tail") << "key"
                                             << "tail";
    QTest::newRow("key at the very end") << QByteArray("a,b\r\nx,key") << "key"
                                         << "";
    QTest::newRow("across cells") << QByteArray("ab,cd,ef,gh\r\n") << "b,c"
                                  << "ef";
    QTest::newRow("cell one byte before line end") << QByteArray("ka\r\nz,y\r\n") << "k"
                                                   << "";
    // Rows that end in a bare LF (or CR) end the key's cell as CR LF does: the scan never runs
    // into the next row.
    const QByteArray lfFruit = "apple,red\npear,green\n";
    QTest::newRow("LF rows: key ends its line") << lfFruit << "red"
                                                << "";
    QTest::newRow("LF rows: next cell") << lfFruit << "pear"
                                        << "green";
    QTest::newRow("LF rows: inside a cell") << lfFruit << "ppl"
                                                         << "red";
    QTest::newRow("bare LF right after the key") << QByteArray("red\nx,y\n") << "red"
                                                 << "";
    QTest::newRow("CR rows: key ends its line") << QByteArray("apple,red\rpear,green\r") << "red"
                                                << "";
    QTest::newRow("empty next cell") << QByteArray("k,,x\r\n") << "k"
                                     << "";
    QTest::newRow("zero byte ends the data") << QByteArray("a,b\r\n\0k,v\r\n", 12) << "k"
                                             << "";
    QTest::newRow("later column") << QByteArray("red,apple,fruit\r\n") << "apple"
                                  << "fruit";
    QTest::newRow("chinese") << QStringLiteral("编号,名称\r\n苹果,红色,甜\r\n").toLocal8Bit()
                             << QStringLiteral("苹果") << QStringLiteral("红色");
}

void TstCsv::lookupRule()
{
    QFETCH(QByteArray, file);
    QFETCH(QString, key);
    QFETCH(QString, value);
    writeFile(path(QStringLiteral("lookup.csv")), file);
    const csv::Lookup found = csv::lookupCsvNextCell(path(QStringLiteral("lookup.csv")), key);
    QCOMPARE(found.status, csv::Status::Ok);
    QCOMPARE(found.value, value);
}

void TstCsv::appendCreatesAndAppends()
{
    const QString file = path(QStringLiteral("append.csv"));
    QFile::remove(file);
    QCOMPARE(csv::appendCsvRecord(file, QStringLiteral("a,b,c")), csv::Status::Ok);
    QCOMPARE(readFile(file), QByteArray("a,b,c\r\n"));
    QCOMPARE(csv::appendCsvRecord(file, QStringLiteral("张三,男")), csv::Status::Ok);
    QCOMPARE(csv::appendCsvRecord(file, QString()), csv::Status::Ok);
    QCOMPARE(readFile(file),
        QByteArray("a,b,c\r\n") + QStringLiteral("张三,男").toLocal8Bit() + "\r\n\r\n");
    // What was written in the local encoding reads back the same way.
    QCOMPARE(csv::lookupCsvNextCell(file, QStringLiteral("张三")).value, QStringLiteral("男"));

    // The largest record that fits is written whole.
    const QString largest(csv::kMaxRecordBytes, QLatin1Char('x'));
    QCOMPARE(csv::appendCsvRecord(file, largest), csv::Status::Ok);
    QVERIFY(readFile(file).endsWith(largest.toLatin1() + "\r\n"));
}

void TstCsv::appendFailures_data()
{
    QTest::addColumn<QString>("file");
    QTest::addColumn<QString>("record");
    QTest::addColumn<int>("status");

    // Root writes read-only files, so a folder in the file's place and a missing folder stand
    // for a locked file everywhere.
    QTest::newRow("read-only file")
        << QStringLiteral("readonly.csv") << "a" << int(csv::Status::CannotOpen);
    QTest::newRow("folder in its place")
        << QStringLiteral("folder.csv") << "a" << int(csv::Status::CannotOpen);
    QTest::newRow("missing folder")
        << QStringLiteral("no/such/t.csv") << "a" << int(csv::Status::CannotOpen);
    QTest::newRow("no path") << QString() << "a" << int(csv::Status::CannotOpen);
    QTest::newRow("record too long")
        << QStringLiteral("t.csv") << QString(csv::kMaxRecordBytes + 1, QLatin1Char('x'))
        << int(csv::Status::RecordTooLong);
    QTest::newRow("wide record too long")
        << QStringLiteral("t.csv") << QString(csv::kMaxRecordBytes / 2, QChar(0x4E2D))
        << int(csv::Status::RecordTooLong);
    QTest::newRow("path too long") << QString(1100, QLatin1Char('p')) + QStringLiteral(".csv")
                                   << "a" << int(csv::Status::PathTooLong);
}

void TstCsv::appendFailures()
{
    QFETCH(QString, file);
    QFETCH(QString, record);
    QFETCH(int, status);
    QDir(dir.path()).mkdir(QStringLiteral("folder.csv"));
    const QString target = file.isEmpty() ? QString() : path(file);
    if (file == QLatin1String("readonly.csv")) {
        writeFile(target, "old\r\n");
        QFile::setPermissions(target, QFileDevice::ReadOwner);
        if (QFileInfo(target).isWritable())
            QSKIP("running as root: read-only files stay writable");
    }
    const QByteArray before = readFile(target);
    QCOMPARE(int(csv::appendCsvRecord(target, record)), status);
    QCOMPARE(readFile(target), before);
}

void TstCsv::lookupFailures()
{
    QDir(dir.path()).mkdir(QStringLiteral("folder.csv"));
    QCOMPARE(
        csv::lookupCsvNextCell(path(QStringLiteral("missing.csv")), QStringLiteral("a")).status,
        csv::Status::CannotOpen);
    QCOMPARE(csv::lookupCsvNextCell(path(QStringLiteral("folder.csv")), QStringLiteral("a")).status,
        csv::Status::CannotOpen);
    QCOMPARE(csv::lookupCsvNextCell(QString(2000, QLatin1Char('p')), QStringLiteral("a")).status,
        csv::Status::PathTooLong);

    const QString file = path(QStringLiteral("long.csv"));
    writeFile(file,
        "k," + QByteArray(csv::kMaxValueBytes, 'v') + "\r\nm,"
            + QByteArray(csv::kMaxValueBytes + 1, 'w'));
    QCOMPARE(csv::lookupCsvNextCell(file, QStringLiteral("k")).value.size(), csv::kMaxValueBytes);
    QCOMPARE(csv::lookupCsvNextCell(file, QStringLiteral("m")).status, csv::Status::ValueTooLong);
}

void TstCsv::labelShortening_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("shown");
    QTest::newRow("20 ascii") << QString(20, QLatin1Char('a')) << QString(20, QLatin1Char('a'));
    QTest::newRow("21 ascii") << QStringLiteral("abcdefghijklmnopqrstu")
                              << QStringLiteral("abcdefghijklmnopqrst...");
    QTest::newRow("11 chinese") << QStringLiteral("一二三四五六七八九十百")
                                << QStringLiteral("一二三四五六七八九十...");
    // 21 bytes under UTF-8 but nothing to cut: shown whole, without a false "...".
    QTest::newRow("7 chinese") << QStringLiteral("一二三四五六七")
                               << QStringLiteral("一二三四五六七");
    QTest::newRow("mixed") << QStringLiteral("ab一二三四五六七八九十")
                           << QStringLiteral("ab一二三四五六七八...");
}

void TstCsv::labelShortening()
{
    QFETCH(QString, text);
    QFETCH(QString, shown);
    QCOMPARE(csv::shortenForLabel(text), shown);
}

// Each script runs with 串2 = "a,b" and the clipboard "剪贴,板"; the file is checked afterwards.
void TstCsv::saveCommand_data()
{
    QTest::addColumn<QString>("script"); // %1: the temporary folder
    QTest::addColumn<QString>("file");
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<QStringList>("messages");

    const QByteArray clip = QStringLiteral("剪贴,板").toLocal8Bit();
    QTest::newRow("own file, string") << "存csv->[%1/s.csv][串2]"
                                      << "s.csv" << QByteArray("a,b\r\n") << QStringList();
    QTest::newRow("own file, clipboard") << "存csv->[%1/s.csv][复制]"
                                         << "s.csv" << clip + "\r\n"
                                         << QStringList();
    QTest::newRow("record path, clipboard") << "存csv->[复制]"
                                            << "record.csv" << clip + "\r\n"
                                            << QStringList();
    QTest::newRow("record path, string")
        << "存csv->[串2]\n存csv->[串2]"
        << "record.csv" << QByteArray("a,b\r\na,b\r\n") << QStringList();
    QTest::newRow("not a .csv file falls back")
        << "存csv->[%1/s.txt][串2]"
        << "record.csv" << QByteArray("a,b\r\n") << QStringList();
    QTest::newRow("no source writes nothing") << "存csv->[%1/s.csv]\n复制->went on"
                                              << "s.csv" << QByteArray() << QStringList();
    QTest::newRow("index out of range")
        << "存csv->[%1/s.csv][串101]"
        << "s.csv" << QByteArray()
        << QStringList {error(2, QStringLiteral("存csv->[%1/s.csv][串101]"))};
    const QString locked = QStringLiteral(" 无法保存,csv文件可能被占用!");
    QTest::newRow("folder in the file's place")
        << "存csv->[%1/folder.csv][串2]\n复制->never"
        << "folder.csv" << QByteArray()
        << QStringList {error(2, QStringLiteral("存csv->[%1/folder.csv][串2]") + locked)};
    QTest::newRow("missing folder")
        << "存csv->[%1/none/s.csv][复制]\n复制->never"
        << "none/s.csv" << QByteArray()
        << QStringList {error(2, QStringLiteral("存csv->[%1/none/s.csv][复制]") + locked)};
    QTest::newRow("no record path")
        << "存csv->[复制]\n复制->never"
        << "record.csv" << QByteArray()
        << QStringList {error(2, QStringLiteral("存csv->[复制]") + locked)};
    QTest::newRow("record too long")
        << "串2->[复制]\n存csv->[%1/s.csv][串2]\n复制->never"
        << "s.csv" << QByteArray()
        << QStringList {
               error(3, QStringLiteral("存csv->[%1/s.csv][串2] 无法保存,内容超过32764字节!"))};
}

void TstCsv::saveCommand()
{
    QFETCH(QString, script);
    QFETCH(QString, file);
    QFETCH(QByteArray, content);
    QFETCH(QStringList, messages);
    QDir(dir.path()).mkdir(QStringLiteral("folder.csv"));
    QFile::remove(path(QStringLiteral("s.csv")));
    QFile::remove(path(QStringLiteral("record.csv")));
    const bool noRecordPath = QByteArray(QTest::currentDataTag()) == "no record path";
    csv::setRecordPath(noRecordPath ? QString() : path(QStringLiteral("record.csv")));

    ScriptRun run;
    run.clipboard = script.contains(QStringLiteral("串2->[复制]"))
        ? QString(csv::kMaxRecordBytes + 1, QLatin1Char('x'))
        : QStringLiteral("剪贴,板");
    const RunRecord record = run.runScript(
        QStringLiteral("串2->a,b\n") + script.replace(QStringLiteral("%1"), dir.path()));
    QCOMPARE(
        record.messages, QStringList(messages).replaceInStrings(QStringLiteral("%1"), dir.path()));
    QCOMPARE(readFile(path(file)), content);
    if (script.contains(QStringLiteral("went on")))
        QCOMPARE(record.clipboardWrites, QStringList {QStringLiteral("went on")});
    if (script.contains(QStringLiteral("never")))
        QVERIFY(record.clipboardWrites.isEmpty());
}

// File: red,apple,fruit / 苹果,红色. Clipboard writes and messages of each script are checked.
void TstCsv::lookupCommand_data()
{
    QTest::addColumn<QString>("script"); // %1: the CSV file
    QTest::addColumn<QStringList>("clipboard");
    QTest::addColumn<QStringList>("messages");

    QTest::newRow("clipboard") << "查csv->red[%1](复制)" << QStringList {"apple"} << QStringList();
    QTest::newRow("full-width brackets")
        << "查csv->red[%1]（复制）" << QStringList {"apple"} << QStringList();
    QTest::newRow("mixed brackets")
        << "查csv->red[%1](复制）" << QStringList {"apple"} << QStringList();
    QTest::newRow("string appends") << "查csv->red[%1](串3)\n查csv->red[%1](串3)\n复制->[串3]"
                                    << QStringList {"appleapple"} << QStringList();
    QTest::newRow("chinese") << "查csv->苹果[%1](复制)" << QStringList {QStringLiteral("红色")}
                             << QStringList();
    QTest::newRow("key is taken as written")
        << "查csv-> red[%1](复制)" << QStringList {"apple"} << QStringList();
    QTest::newRow("missing key clears")
        << "查csv->plum[%1](复制)" << QStringList {""} << QStringList();
    QTest::newRow("missing key appends nothing")
        << "串3->x\n查csv->plum[%1](串3)\n复制->[串3]" << QStringList {"x"} << QStringList();
    QTest::newRow("number target is emptied")
        << "变1->7\n查csv->red[%1](变1)\n复制->[变1]" << QStringList {""} << QStringList();
    QTest::newRow("no file in the argument")
        << "查csv->red(复制)" << QStringList {""} << QStringList();
    QTest::newRow("no key") << "查csv->[%1](复制)" << QStringList {""} << QStringList();
    QTest::newRow("index out of range")
        << "查csv->red[%1](串0)\n复制->never" << QStringList()
        << QStringList {error(1, QStringLiteral("查csv->red[%1](串0)"))};
}

void TstCsv::lookupCommand()
{
    QFETCH(QString, script);
    QFETCH(QStringList, clipboard);
    QFETCH(QStringList, messages);
    const QString file = path(QStringLiteral("fruit.csv"));
    writeFile(file, QStringLiteral("red,apple,fruit\r\n苹果,红色\r\n").toLocal8Bit());

    ScriptRun run;
    run.clipboard = QStringLiteral("before");
    const RunRecord record = run.runScript(QString(script).replace(QStringLiteral("%1"), file));
    QCOMPARE(record.clipboardWrites, clipboard);
    QCOMPARE(record.messages, QStringList(messages).replaceInStrings(QStringLiteral("%1"), file));
}

void TstCsv::lookupOfUnopenableFileEndsTheRunQuietly()
{
    // The run ends at the line without a message; its end steps still run, so a file-start run
    // reports "complete" and the program quits normally.
    const QString script = QStringLiteral("查csv->red[%1](复制)\n复制->never")
                               .arg(path(QStringLiteral("missing.csv")));
    ScriptRun run;
    run.fileStartMode = true;
    const RunRecord record = run.runScript(script);
    QCOMPARE(record.messages, QStringList {QStringLiteral("complete")});
    QVERIFY(record.clipboardWrites.isEmpty());
    QVERIFY(record.steps.isEmpty());
}

// The table reads rows as the lookup does: CR LF, LF and CR each end one.
void TstCsv::tableRows_data()
{
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<QStringList>("rows"); // cells joined by "|"

    QTest::newRow("CR LF") << QByteArray("a,b,c\r\nd,e\r\n") << QStringList {"a|b|c", "d|e"};
    QTest::newRow("LF only") << QByteArray("a,b\nc,d\n") << QStringList {"a|b", "c|d"};
    QTest::newRow("CR only") << QByteArray("a,b\rc,d") << QStringList {"a|b", "c|d"};
    QTest::newRow("mixed, CR LF once")
        << QByteArray("a\r\nb\nc\rd") << QStringList {"a", "b", "c", "d"};
    QTest::newRow("blank lines vanish")
        << QByteArray("\r\n\na\r\r\n\n\rb\r\n\r\n") << QStringList {"a", "b"};
    QTest::newRow("empty cells kept") << QByteArray(",a,,\n,") << QStringList {"|a||", "|"};
    QTest::newRow("quotes are plain text") << QByteArray("\"a,b\"\r\n") << QStringList {"\"a|b\""};
    QTest::newRow("zero byte ends the text")
        << QByteArray("a,b\r\n\0c\r\n", 10) << QStringList {"a|b"};
    QTest::newRow("chinese") << QStringLiteral("名称,颜色\n苹果,红色").toLocal8Bit()
                             << QStringList {
                                    QStringLiteral("名称|颜色"), QStringLiteral("苹果|红色")};
    QTest::newRow("empty") << QByteArray() << QStringList();
}

void TstCsv::tableRows()
{
    QFETCH(QByteArray, file);
    QFETCH(QStringList, rows);
    writeFile(path(QStringLiteral("table.csv")), file);
    const csv::TableFile read = csv::readTableFile(path(QStringLiteral("table.csv")));
    QCOMPARE(read.status, csv::TableRead::Ok);
    QStringList got;
    int columns = 0;
    for (const QVector<QString> &row : read.grid.rows) {
        got << QStringList(row.toList()).join(QLatin1Char('|'));
        columns = qMax(columns, row.size());
    }
    QCOMPARE(got, rows);
    QCOMPARE(read.grid.columns, columns);
}

// The widget keeps a slot for every row × column pair, so the limit is on that product; the
// byte limit holds before anything is read (a sparse file stands for a huge one).
void TstCsv::tableLimits_data()
{
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<qint64>("sparseSize"); // instead of the content when above 0
    QTest::addColumn<int>("status");
    QTest::addColumn<int>("rows");
    QTest::addColumn<int>("columns");

    const int ok = int(csv::TableRead::Ok);
    const int tooLarge = int(csv::TableRead::TooLarge);
    const int cells = int(csv::kMaxTableCells);
    const QByteArray oneRow = QByteArray("x,").repeated(cells - 1) + "x\r\n";
    QTest::newRow("a million cells in one row") << oneRow << qint64(0) << ok << 1 << cells;
    QTest::newRow("one cell more") << "x," + oneRow << qint64(0) << tooLarge << 0 << 0;
    QTest::newRow("a thousand by a thousand")
        << (QByteArray("x,").repeated(999) + "x\n").repeated(1000) << qint64(0) << ok << 1000
        << 1000;
    QTest::newRow("a million LF rows")
        << QByteArray("x\n").repeated(cells) << qint64(0) << ok << cells << 1;
    // Only half a million cells are read, but the short row takes as many slots as the long one.
    QTest::newRow("rows times the widest row")
        << QByteArray("x,").repeated(cells / 2) + "x\r\nx\r\n"
        << qint64(0) << tooLarge << 0 << 0;
    QTest::newRow("at the byte limit") << QByteArray() << csv::kMaxTableBytes << ok << 0 << 0;
    QTest::newRow("one byte over") << QByteArray() << csv::kMaxTableBytes + 1 << tooLarge << 0 << 0;
    QTest::newRow("4 GB") << QByteArray() << (qint64(4) << 30) << tooLarge << 0 << 0;
}

void TstCsv::tableLimits()
{
    QFETCH(QByteArray, file);
    QFETCH(qint64, sparseSize);
    QFETCH(int, status);
    QFETCH(int, rows);
    QFETCH(int, columns);
    const QString name = path(QStringLiteral("limit.csv"));
    QFile::remove(name);
    if (sparseSize > 0) {
        QFile sparse(name);
        QVERIFY(sparse.open(QIODevice::WriteOnly));
        if (!sparse.resize(sparseSize))
            QSKIP("no room for a sparse file here");
    } else {
        writeFile(name, file);
    }

    QElapsedTimer timer;
    timer.start();
    const csv::TableFile read = csv::readTableFile(name);
    QCOMPARE(int(read.status), status);
    QCOMPARE(read.grid.rows.size(), rows);
    QCOMPARE(read.grid.columns, columns);
    // A save checks the file it would replace the same way.
    QCOMPARE(int(csv::checkTableFile(name)), status);
    // Refused by its size, even the 4 GB file is never read (generous for sanitizer builds).
    if (sparseSize > csv::kMaxTableBytes)
        QVERIFY2(timer.elapsed() < 2000, qPrintable(QString::number(timer.elapsed())));
    QCOMPARE(QFileInfo(name).size(), sparseSize > 0 ? sparseSize : qint64(file.size()));
    QFile::remove(name);
}

QTEST_MAIN(TstCsv)
#include "tst_csv.moc"
