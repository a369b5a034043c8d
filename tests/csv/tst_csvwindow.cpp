// The quick record and lookup tools and the table editor in the real window, built offscreen in
// a temporary program folder.
#include "app/dialogs.h"
#include "testfiles.h"
#include "app/mainwindow.h"
#include "csv/csvfile.h"
#include "csv/csvtable.h"
#include "fakeplatform.h"
#include "settings/settings.h"

#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QElapsedTimer>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTabBar>
#include <QTabWidget>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QtTest>

#include <memory>

class TstCsvWindow : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir dir;
    FakePlatform platform;
    QStringList questions;
    QString chooserAnswer;
    std::unique_ptr<MainWindow> w;

    QString path(const QString &name) const { return dir.filePath(name); }
    QString settingsPath() const { return path(QStringLiteral("Quorvel.qcf")); }
    QByteArray settingValue(const char *key) const
    {
        return settings::ReadSetting(readFile(settingsPath()), QByteArray(key));
    }


    void makeWindow(const QByteArray &settingsText = QByteArray())
    {
        w.reset();
        writeFile(settingsPath(), settingsText);
        ProcessState process;
        process.programFolder = dir.path() + QLatin1Char('/');
        process.settingsPath = settingsPath();
        w = std::make_unique<MainWindow>(process, platform);
    }

    template<class T> T *child(const char *name) const
    {
        T *found = w->findChild<T *>(QLatin1String(name));
        if (!found)
            qFatal("no widget %s", name);
        return found;
    }
    QTableWidget *table() const { return child<QTableWidget>("tblW_Csv"); }
    void click(const char *button) { child<QPushButton>(button)->click(); }

    // The table as rows of cell texts ("-" for a cell without an item).
    QStringList grid() const
    {
        QStringList rows;
        for (int r = 0; r < table()->rowCount(); ++r) {
            QStringList cells;
            for (int c = 0; c < table()->columnCount(); ++c) {
                const QTableWidgetItem *item = table()->item(r, c);
                cells << (item ? item->text() : QStringLiteral("-"));
            }
            rows << cells.join(QLatin1Char('|'));
        }
        return rows;
    }

    // Loads the file through the path field and the CSV tab, as the user does.
    void openTable(const QString &file, const QByteArray &content)
    {
        writeFile(file, content);
        child<QLineEdit>("lEdt_CsvFilePath")->setText(file);
        emit child<QTabWidget>("tabWidget")->tabBar()->tabBarClicked(2);
    }

    // How far the column's width is from the view's own measure of it (its cells, the grid
    // line, the header) plus 5 pixels. The tables here are short enough to measure every row.
    int widthError(int column) const
    {
        int measured = table()->horizontalHeader()->sectionSizeHint(column);
        for (int r = 0; r < table()->rowCount(); ++r) {
            const QModelIndex index = table()->model()->index(r, column);
            measured = qMax(
                measured, table()->sizeHintForIndex(index).width() + (table()->showGrid() ? 1 : 0));
        }
        return qAbs(table()->columnWidth(column) - (measured + 5));
    }

    void edit(int row, int column, const QString &text)
    {
        if (QTableWidgetItem *item = table()->item(row, column))
            item->setText(text);
        else
            table()->setItem(row, column, new QTableWidgetItem(text));
    }

private slots:
    void initTestCase() { QApplication::setFont(QFont(QStringLiteral("Sans Serif"), 9)); }

    void init()
    {
        questions.clear();
        chooserAnswer.clear();
        dialogs::setResponder([this](const dialogs::Question &q) {
            questions << q.title + QLatin1Char('|') + q.text + QLatin1Char('|') + q.filter;
            return chooserAnswer;
        });
        makeWindow();
    }

    void cleanup() { w.reset(); }

    void startUpRestoresWithoutRewritingSettings()
    {
        const QByteArray stored
            = "SaveToCsvFileSelect=" + path(QStringLiteral("rec.csv")).toLocal8Bit()
            + "\r\nSearchFromCsvFileSelect=" + path(QStringLiteral("look.csv")).toLocal8Bit()
            + "\r\nAutoClearCsvFirstCol=yes\r\nCsvFilePath="
            + path(QStringLiteral("t.csv")).toLocal8Bit() + "\r\nAutoSaveToCsvFile=n\r\n";
        makeWindow(stored);
        QCOMPARE(readFile(settingsPath()), stored);
        QVERIFY(child<QCheckBox>("cBox_AutoClearCsvFirstCol")->isChecked());
        QVERIFY(!child<QCheckBox>("cBox_CsvContentAutoCopy")->isChecked());
        QVERIFY(!child<QCheckBox>("cBox_AutoSaveToCsvFile")->isChecked());
        QCOMPARE(table()->rowCount(), 0); // the table loads on the tab click only

        // The stored paths are the current ones: the tools use them at once.
        child<QLineEdit>("lEdt_SaveToCsv")->setText(QStringLiteral("a,b"));
        click("pBtn_SaveToCsv");
        QCOMPARE(readFile(path(QStringLiteral("rec.csv"))), QByteArray("a,b\r\n"));
        writeFile(path(QStringLiteral("look.csv")), "k,v\r\n");
        child<QLineEdit>("lEdt_CsvFirstCol")->setText(QStringLiteral("k"));
        QTest::keyClick(child<QLineEdit>("lEdt_CsvFirstCol"), Qt::Key_Return);
        QCOMPARE(child<QLineEdit>("lEdt_CsvSecondCol")->text(), QStringLiteral("v"));
        QCOMPARE(csv::recordPath(), path(QStringLiteral("rec.csv")));
    }

    void recordTool()
    {
        const QString file = path(QStringLiteral("record.csv"));
        QFile::remove(file);
        child<QLineEdit>("lEdt_SaveToCsvFileSelect")->setText(file);
        QCOMPARE(settingValue("SaveToCsvFileSelect"), file.toLocal8Bit());

        QLineEdit *field = child<QLineEdit>("lEdt_SaveToCsv");
        field->setText(QStringLiteral("  abcdefghijklmnopqrstu "));
        QTest::keyClick(field, Qt::Key_Return); // Enter presses the button
        field->setText(QStringLiteral("一二三四五六七八九十百"));
        click("pBtn_SaveToCsv");
        QCOMPARE(readFile(file),
            QByteArray("abcdefghijklmnopqrstu\r\n")
                + QStringLiteral("一二三四五六七八九十百").toLocal8Bit() + "\r\n");
        QVERIFY(field->text().isEmpty());
        QCOMPARE(child<QLabel>("lb_ShowActionContent")->text(),
            QStringLiteral(
                "<span style=\"color:red;\">&larr;保存：</span>一二三四五六七八九十..."));
        QVERIFY(questions.isEmpty());

        // A file that cannot be opened: the message, and the text stays for another try.
        child<QLineEdit>("lEdt_SaveToCsvFileSelect")->setText(path(QStringLiteral("none/r.csv")));
        field->setText(QStringLiteral("kept"));
        click("pBtn_SaveToCsv");
        QCOMPARE(questions, QStringList {QStringLiteral("提示:|无法保存,csv文件可能被占用!|")});
        QCOMPARE(field->text(), QStringLiteral("kept"));
    }

    void lookupTool()
    {
        const QString file = path(QStringLiteral("fruit.csv"));
        writeFile(file, "apple,red\r\npear,green\r\n");
        child<QLineEdit>("lEdt_SearchFromCsvFileSelect")->setText(file);
        QCOMPARE(settingValue("SearchFromCsvFileSelect"), file.toLocal8Bit());

        QLineEdit *key = child<QLineEdit>("lEdt_CsvFirstCol");
        QLineEdit *result = child<QLineEdit>("lEdt_CsvSecondCol");
        QCheckBox *autoCopy = child<QCheckBox>("cBox_CsvContentAutoCopy");
        QCheckBox *autoClear = child<QCheckBox>("cBox_AutoClearCsvFirstCol");
        QGuiApplication::clipboard()->setText(QStringLiteral("untouched"));

        key->setText(QStringLiteral(" pear "));
        QTest::keyClick(key, Qt::Key_Return);
        QCOMPARE(result->text(), QStringLiteral("green"));
        QCOMPARE(key->text(), QStringLiteral(" pear "));
        QCOMPARE(QGuiApplication::clipboard()->text(), QStringLiteral("untouched"));
        QCOMPARE(child<QLabel>("lb_ShowActionContent")->text(),
            QStringLiteral("<span style=\"color:gray;\">&darr;查找：pear</span>"));

        autoCopy->click();
        autoClear->click();
        QCOMPARE(settingValue("CsvContentAutoCopy"), QByteArray("y"));
        QCOMPARE(settingValue("AutoClearCsvFirstCol"), QByteArray("y"));
        key->setText(QStringLiteral("app"));
        QTest::keyClick(key, Qt::Key_Return);
        QCOMPARE(result->text(), QStringLiteral("red"));
        QCOMPARE(QGuiApplication::clipboard()->text(), QStringLiteral("red"));
        QVERIFY(key->text().isEmpty());

        key->setText(QStringLiteral("red")); // the last cell of its row
        QTest::keyClick(key, Qt::Key_Return);
        QVERIFY(result->text().isEmpty());
        QVERIFY(QGuiApplication::clipboard()->text().isEmpty());

        // An unopenable file changes nothing at all.
        result->setText(QStringLiteral("kept"));
        child<QLineEdit>("lEdt_SearchFromCsvFileSelect")
            ->setText(path(QStringLiteral("missing.csv")));
        key->setText(QStringLiteral("pear"));
        QTest::keyClick(key, Qt::Key_Return);
        QCOMPARE(result->text(), QStringLiteral("kept"));
        QCOMPARE(key->text(), QStringLiteral("pear"));
        QVERIFY(questions.isEmpty());

        autoCopy->click();
        QCOMPARE(settingValue("CsvContentAutoCopy"), QByteArray("n"));
    }

    void quickToolChoosers()
    {
        chooserAnswer = path(QStringLiteral("chosen.csv"));
        click("pBtn_SaveToCsvFileSelect");
        click("pBtn_SearchFromCsvFileSelect");
        QCOMPARE(questions,
            (QStringList {QStringLiteral("选择文件|.|*.csv"), QStringLiteral("选择文件|.|*.csv")}));
        QCOMPARE(child<QLineEdit>("lEdt_SaveToCsvFileSelect")->text(), chooserAnswer);
        QCOMPARE(child<QLineEdit>("lEdt_SearchFromCsvFileSelect")->text(), chooserAnswer);
        QCOMPARE(csv::recordPath(), chooserAnswer);
        chooserAnswer.clear(); // cancelled: nothing changes
        click("pBtn_SaveToCsvFileSelect");
        QCOMPARE(child<QLineEdit>("lEdt_SaveToCsvFileSelect")->text(),
            path(QStringLiteral("chosen.csv")));
    }

    void loadAndAutoSave()
    {
        const QString file = path(QStringLiteral("表.csv"));
        openTable(file, "a,b,c\r\n\r\n\r\nd,e\r\n");
        QCOMPARE(grid(), (QStringList {"a|b|c", "d|e|-"}));
        QVERIFY(table()->verticalHeader()->isHidden());
        QCOMPARE(table()->horizontalHeader()->sectionResizeMode(2), QHeaderView::Stretch);
        QCOMPARE(widthError(0), 0);
        QCOMPARE(widthError(1), 0);
        QVERIFY(table()->horizontalHeader()->styleSheet().startsWith(
            QStringLiteral("QHeaderView::section{background-color:white;")));
        QCOMPARE(readFile(file), QByteArray("a,b,c\r\n\r\n\r\nd,e\r\n")); // loading writes nothing

        edit(0, 0, QStringLiteral("苹果"));
        QCOMPARE(readFile(file), QStringLiteral("苹果,b,c\r\nd,e,\r\n").toLocal8Bit());
        edit(0, 0, QStringLiteral("x"));
        QCOMPARE(readFile(file), QByteArray("x,b,c\r\nd,e,\r\n"));
        // A comma in a cell is written as it is and splits the cell on the next load.
        edit(1, 2, QStringLiteral("p,q"));
        QCOMPARE(readFile(file), QByteArray("x,b,c\r\nd,e,p,q\r\n"));
        writeFile(file, QStringLiteral("名称,颜色\r\n苹果,红色\r\n").toLocal8Bit());
        click("pBtn_RefreshCsvData");
        QCOMPARE(grid(), (QStringList {"名称|颜色", "苹果|红色"}));
    }

    void autoSaveOffLeavesTheFile()
    {
        const QString file = path(QStringLiteral("t.csv"));
        openTable(file, "a,b\r\nc,d\r\n");
        child<QCheckBox>("cBox_AutoSaveToCsvFile")->click();
        QCOMPARE(settingValue("AutoSaveToCsvFile"), QByteArray("n"));
        edit(0, 0, QStringLiteral("x"));
        table()->setCurrentCell(1, 0);
        click("pBtn_RemoveRow");
        QCOMPARE(grid(), QStringList {"x|b"});
        QCOMPARE(readFile(file), QByteArray("a,b\r\nc,d\r\n"));
        // "保存" saves on request, also with auto-save off.
        click("pBtn_SaveToCsvFile");
        QCOMPARE(readFile(file), QByteArray("x,b\r\n"));
        QVERIFY(questions.isEmpty());
        // Asked for, a save that cannot happen says so.
        child<QLineEdit>("lEdt_CsvFilePath")->setText(path(QStringLiteral("none/t.csv")));
        click("pBtn_SaveToCsvFile");
        child<QLineEdit>("lEdt_CsvFilePath")->clear();
        click("pBtn_SaveToCsvFile");
        QCOMPARE(questions,
            (QStringList {QStringLiteral("提示:|无法保存,csv文件可能被占用!|"),
                QStringLiteral("提示:|请先指定csv文件!|")}));
        child<QCheckBox>("cBox_AutoSaveToCsvFile")->click();
        QCOMPARE(settingValue("AutoSaveToCsvFile"), QByteArray("y"));
    }

    void insertAndRemove()
    {
        const QString file = path(QStringLiteral("t.csv"));
        openTable(file, QByteArray());
        QCOMPARE(grid(), QStringList());
        click("pBtn_InsertRow");
        QCOMPARE(grid(), QStringList {""});
        QCOMPARE(readFile(file), QByteArray()); // untouched until a cell is edited
        edit(0, 0, QStringLiteral("a"));
        QCOMPARE(readFile(file), QByteArray("a\r\n"));

        table()->setCurrentCell(0, 0);
        click("pBtn_InsertCol"); // right of the current column
        click("pBtn_InsertRow"); // below the current row
        edit(1, 1, QStringLiteral("d"));
        QCOMPARE(readFile(file), QByteArray("a,\r\n,d\r\n"));
        table()->setCurrentCell(-1, -1);
        click("pBtn_InsertRow"); // no current row: at the top
        click("pBtn_InsertCol");
        QCOMPARE(grid(), (QStringList {"||", "|a|", "||d"}));

        table()->setCurrentCell(0, 0);
        click("pBtn_RemoveRow");
        QCOMPARE(readFile(file), QByteArray(",a,\r\n,,d\r\n"));
        table()->setCurrentCell(0, 0);
        click("pBtn_RemoveCol");
        QCOMPARE(readFile(file), QByteArray("a,\r\n,d\r\n"));

        // Without columns left, inserting a row makes the one-cell table again.
        click("pBtn_RemoveCol");
        click("pBtn_RemoveCol");
        QCOMPARE(table()->columnCount(), 0);
        QCOMPARE(readFile(file), QByteArray());
        click("pBtn_InsertRow");
        QCOMPARE(grid(), QStringList {""});
    }

    void pathFieldAndChooser()
    {
        const QString file = path(QStringLiteral("p.csv"));
        writeFile(file, "1,2\r\n");
        // Typing stores the path but does not load.
        child<QLineEdit>("lEdt_CsvFilePath")->setText(file);
        QCOMPARE(settingValue("CsvFilePath"), file.toLocal8Bit());
        QCOMPARE(table()->rowCount(), 0);
        emit child<QTabWidget>("tabWidget")->tabBar()->tabBarClicked(1);
        QCOMPARE(table()->rowCount(), 0);

        // A cancelled chooser reloads the current path.
        click("pBtn_CsvFilePath");
        QCOMPARE(questions,
            QStringList {
                QStringLiteral("选择文件|") + dir.path() + QStringLiteral("/ZtFiles/|*.csv")});
        QCOMPARE(grid(), QStringList {"1|2"});

        const QString other = path(QStringLiteral("q.csv"));
        writeFile(other, "3\r\n");
        chooserAnswer = other;
        click("pBtn_CsvFilePath");
        QCOMPARE(child<QLineEdit>("lEdt_CsvFilePath")->text(), other);
        QCOMPARE(settingValue("CsvFilePath"), other.toLocal8Bit());
        QCOMPARE(grid(), QStringList {"3"});

        // A path that names no file leaves the grid as it is.
        child<QLineEdit>("lEdt_CsvFilePath")->setText(path(QStringLiteral("missing.csv")));
        click("pBtn_RefreshCsvData");
        QCOMPARE(grid(), QStringList {"3"});
    }

    // Rows end at LF or CR as at CR LF; saving writes CR LF.
    void bareLineEndsAreRows()
    {
        const QString file = path(QStringLiteral("lf.csv"));
        openTable(file, "a,b\nc\rd,e\n");
        QCOMPARE(grid(), (QStringList {"a|b", "c|-", "d|e"}));
        edit(1, 1, QStringLiteral("x"));
        QCOMPARE(readFile(file), QByteArray("a,b\r\nc,x\r\nd,e\r\n"));
    }

    // 600,000 columns once took minutes to size (each width set walked all the columns). About
    // a third of a second in a release build; the bound leaves room for sanitizer builds.
    void wideTableLoadsInTime()
    {
        const int columns = 600000;
        // Texts of one length but different widths, and wide characters.
        const QByteArray wide = QStringLiteral("表格").toLocal8Bit();
        QByteArray row;
        for (int c = 0; c < columns; ++c) {
            row += c % 7 == 3 ? wide : c % 2 ? QByteArray("WW") : QByteArray("ii");
            row += QByteArray::number(c) + (c + 1 < columns ? "," : "\r\n");
        }
        const QString file = path(QStringLiteral("wide.csv"));
        QElapsedTimer timer;
        timer.start();
        openTable(file, row);
        QVERIFY2(timer.elapsed() < 60000, qPrintable(QString::number(timer.elapsed())));
        QCOMPARE(table()->rowCount(), 1);
        QCOMPARE(table()->columnCount(), columns);
        QVERIFY(questions.isEmpty());

        // Wide tables measure each distinct width once; the widths stay the view's own.
        for (const int c : {0, 9, 10, 17, 99999, 123456, 123457, columns - 2})
            QVERIFY2(widthError(c) <= 1, qPrintable(QString::number(c)));
        QCOMPARE(table()->horizontalHeader()->sectionResizeMode(columns - 1), QHeaderView::Stretch);

        edit(0, 0, QStringLiteral("x"));
        QCOMPARE(readFile(file), "x" + row.mid(row.indexOf(',')));
    }

    // A file too large for the table is refused with a message and never written over: not by
    // an edit, a removal or the save button, and not after a restart that never loaded it.
    void tooLargeFileIsRefusedAndKept_data()
    {
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<qint64>("sparseSize"); // instead of the content when above 0

        const int cells = int(csv::kMaxTableCells);
        QTest::newRow("too many cells") << QByteArray("x,").repeated(cells) + "x\r\n" << qint64(0);
        QTest::newRow("LF rows times the widest row") << QByteArray("x,").repeated(cells / 2)
                + "x\nx\n" << qint64(0);
        QTest::newRow("too many bytes") << QByteArray() << csv::kMaxTableBytes + 1;
    }

    void tooLargeFileIsRefusedAndKept()
    {
        QFETCH(QByteArray, content);
        QFETCH(qint64, sparseSize);
        const QString small = path(QStringLiteral("small.csv"));
        const QString huge = path(QStringLiteral("huge.csv"));
        if (sparseSize > 0) {
            QFile sparse(huge);
            QVERIFY(sparse.open(QIODevice::WriteOnly | QIODevice::Truncate));
            if (!sparse.resize(sparseSize))
                QSKIP("no room for a sparse file here");
        } else {
            writeFile(huge, content);
        }
        const qint64 size = QFileInfo(huge).size();
        const auto untouched = [&] {
            return QFileInfo(huge).size() == size && (sparseSize > 0 || readFile(huge) == content);
        };
        const QString refusal = QStringLiteral(
            "提示:|文件过大,无法在表格中编辑!表格最多1000000个单元格(行数×列数),文件不超过64MB。|");

        openTable(small, "a,b\r\n");
        child<QLineEdit>("lEdt_CsvFilePath")->setText(huge);
        emit child<QTabWidget>("tabWidget")->tabBar()->tabBarClicked(2);
        QCOMPARE(questions, QStringList {refusal});
        QCOMPARE(grid(), QStringList()); // the other file's table is not left in its place

        click("pBtn_InsertRow");
        edit(0, 0, QStringLiteral("x"));
        table()->setCurrentCell(0, 0);
        click("pBtn_InsertRow");
        click("pBtn_RemoveRow");
        click("pBtn_SaveToCsvFile");
        QCOMPARE(questions, (QStringList {refusal, refusal}));
        QVERIFY(untouched());

        makeWindow();
        child<QLineEdit>("lEdt_CsvFilePath")->setText(huge);
        click("pBtn_InsertRow");
        edit(0, 0, QStringLiteral("y"));
        QVERIFY(untouched());

        // Other files still load and save.
        openTable(small, "c\r\n");
        edit(0, 0, QStringLiteral("d"));
        QCOMPARE(readFile(small), QByteArray("d\r\n"));
        QFile::remove(huge);
    }

    // After every operation, also a failing one, an edit is still saved.
    void changeTrackingAlwaysRestored()
    {
        const QString file = path(QStringLiteral("t.csv"));
        openTable(file, "a\r\n");
        QLineEdit *field = child<QLineEdit>("lEdt_CsvFilePath");
        const auto tracked = [&](const char *after) {
            field->setText(file);
            edit(0, 0, QString::fromLatin1(after));
            QVERIFY2(readFile(file).startsWith(QByteArray(after) + ","), after);
        };

        click("pBtn_InsertCol");
        tracked("insert");
        field->setText(path(QStringLiteral("missing.csv")));
        click("pBtn_RefreshCsvData");
        tracked("missing");
        // A save that cannot happen (no folder) leaves no trace and reports nothing.
        field->setText(path(QStringLiteral("none/t.csv")));
        edit(0, 0, QStringLiteral("lost"));
        QVERIFY(questions.isEmpty());
        tracked("failed");
        table()->setCurrentCell(0, 0);
        click("pBtn_InsertRow");
        click("pBtn_RemoveRow");
        tracked("removed");
        click("pBtn_CsvFilePath");
        tracked("chooser");
        QCOMPARE(grid(), (QStringList {"chooser|"}));
    }
};

QTEST_MAIN(TstCsvWindow)
#include "tst_csvwindow.moc"
