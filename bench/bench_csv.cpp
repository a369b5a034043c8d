// CSV figures: a lookup in a 50 MB file (goal: under 100 ms) and loading files into the table
// editor: 100,000 rows, 600,000 columns and the largest file it accepts (the window must not
// freeze for more than a second or two on the common ones). peakMB is the process's peak
// resident memory: run one benchmark at a time (--benchmark_filter) to read it per case.
#include "app/mainwindow.h"
#include "csv/csvfile.h"
#include "csv/csvtable.h"
#include "fakeplatform.h"

#include <QApplication>
#include <QFile>
#include <QFileInfo>
#include <QLineEdit>
#include <QTabBar>
#include <QTabWidget>
#include <QTableWidget>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

#include <memory>

#include <sys/resource.h>

namespace {

QTemporaryDir &folder()
{
    static QTemporaryDir dir;
    return dir;
}

// Rows "key<n>,<name>,<city>,<number>,<note>" until the file reaches the size or row count.
QString writeCsv(const QString &name, qint64 bytes, int rows)
{
    const QString path = folder().filePath(name);
    if (QFile::exists(path))
        return path;
    QByteArray data;
    data.reserve(int(bytes > 0 ? bytes + 256 : qint64(rows) * 64));
    const QByteArray city = QStringLiteral("上海市").toLocal8Bit();
    for (int n = 0; (bytes > 0 && data.size() < bytes) || (rows > 0 && n < rows); ++n) {
        data += "key" + QByteArray::number(n) + ",name " + QByteArray::number(n * 7) + "," + city
            + "," + QByteArray::number(n * 31 % 100000) + ",some note text\r\n";
    }
    QFile file(path);
    file.open(QIODevice::WriteOnly);
    file.write(data);
    return path;
}

QByteArray readAll(const QString &path)
{
    QFile file(path);
    file.open(QIODevice::ReadOnly);
    return file.readAll();
}

// Argument 0: a key in the last row (the whole file is searched); 1: a key that is missing.
void BM_Lookup50MB(benchmark::State &state)
{
    const QString path = writeCsv(QStringLiteral("big.csv"), 50 << 20, 0);
    QFile file(path);
    file.open(QIODevice::ReadOnly);
    const QByteArray data = file.readAll();
    // The last row's key with its comma: found only after scanning almost everything.
    const int lastRow = data.lastIndexOf("\r\nkey", data.size() - 3) + 2;
    const QString lastKey
        = QString::fromLatin1(data.mid(lastRow, data.indexOf(',', lastRow) + 1 - lastRow));
    const QString wanted = state.range(0) == 0 ? lastKey : QStringLiteral("absent,key");
    for (auto _ : state) {
        const csv::Lookup found = csv::lookupCsvNextCell(path, wanted);
        benchmark::DoNotOptimize(found.value);
        if (state.range(0) == 0 && found.value.isEmpty())
            state.SkipWithError("last row not found");
    }
    state.counters["MB"] = double(data.size()) / (1 << 20);
}
BENCHMARK(BM_Lookup50MB)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

// The CSV page of a window in the bench folder, showing the file once the tab is clicked.
struct TablePage
{
    FakePlatform platform;
    std::unique_ptr<MainWindow> window;
    QTabWidget *tabs = nullptr;
    QTableWidget *table = nullptr;
    CsvTablePanel *panel = nullptr;

    explicit TablePage(const QString &path)
    {
        ProcessState process;
        process.programFolder = folder().path() + QLatin1Char('/');
        process.settingsPath = process.programFolder + QStringLiteral("Quorvel.qcf");
        window = std::make_unique<MainWindow>(process, platform);
        panel = window->findChild<CsvTablePanel *>();
        panel->RefreshData(); // nothing yet: the path is empty
        tabs = window->findChild<QTabWidget *>(QStringLiteral("tabWidget"));
        table = window->findChild<QTableWidget *>(QStringLiteral("tblW_Csv"));
        window->findChild<QLineEdit *>(QStringLiteral("lEdt_CsvFilePath"))->setText(path);
        QCoreApplication::processEvents();
    }

    // The tab clicked; when shown, also the events that follow (the page shown and painted).
    void clickTab(bool shown)
    {
        tabs->setCurrentIndex(0);
        QCoreApplication::processEvents();
        emit tabs->tabBar()->tabBarClicked(2);
        if (shown) {
            tabs->setCurrentIndex(2);
            QCoreApplication::processEvents();
        }
    }
};

// The process's peak resident memory so far, in MB: run one benchmark per process to read it.
double peakMegabytes()
{
    rusage usage {};
    getrusage(RUSAGE_SELF, &usage);
    return double(usage.ru_maxrss) / 1024;
}

void loadTable(benchmark::State &state, const QString &path, int rows, int columns)
{
    TablePage page(path);
    for (auto _ : state)
        page.clickTab(state.range(0) != 0);
    if (page.table->rowCount() != rows || page.table->columnCount() != columns)
        state.SkipWithError("wrong table size");
    state.counters["rows"] = page.table->rowCount();
    state.counters["columns"] = page.table->columnCount();
    state.counters["fileMB"] = double(QFileInfo(path).size()) / (1 << 20);
    state.counters["peakMB"] = peakMegabytes();
}

// The CSV tab clicked with a 100,000-row file: the load as the click runs it; with argument 1
// including the events that follow (the page shown and painted).
void BM_TableLoad100k(benchmark::State &state)
{
    loadTable(state, writeCsv(QStringLiteral("rows.csv"), 0, 100000), 100000, 5);
}
BENCHMARK(BM_TableLoad100k)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->Iterations(5);

// Rows of `columns` cells "<n>" padded with x to cellBytes, each row ended by lineEnd.
QString writeGrid(const QString &name, int rows, int columns, int cellBytes, const char *lineEnd)
{
    const QString path = folder().filePath(name);
    if (QFile::exists(path))
        return path;
    QFile file(path);
    file.open(QIODevice::WriteOnly);
    QByteArray row;
    for (int r = 0; r < rows; ++r) {
        row.clear();
        for (int c = 0; c < columns; ++c) {
            const QByteArray cell = QByteArray::number(qint64(r) * columns + c);
            row += cell;
            if (cell.size() < cellBytes)
                row += QByteArray(cellBytes - cell.size(), 'x');
            row += c + 1 < columns ? "," : lineEnd;
        }
        file.write(row);
    }
    return path;
}

// One row of 600,000 cells (5 MB): the column widths once took minutes.
void BM_TableLoad600kColumns(benchmark::State &state)
{
    loadTable(state, writeGrid(QStringLiteral("wide.csv"), 1, 600000, 7, "\r\n"), 1, 600000);
}
BENCHMARK(BM_TableLoad600kColumns)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->Iterations(3);

// A 5 MB file with LF line ends: rows, no longer one row of 450,000 cells.
void BM_TableLoadLfOnly5MB(benchmark::State &state)
{
    const QString path = folder().filePath(QStringLiteral("lf.csv"));
    if (!QFile::exists(path)) {
        QByteArray data = readAll(writeCsv(QStringLiteral("lf-source.csv"), 5 << 20, 0));
        data.replace("\r\n", "\n");
        QFile file(path);
        file.open(QIODevice::WriteOnly);
        file.write(data);
    }
    const int rows = readAll(path).count('\n');
    loadTable(state, path, rows, 5);
}
BENCHMARK(BM_TableLoadLfOnly5MB)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->Iterations(3);

// The largest files accepted: a million cells filling the byte limit, as 1,000 rows of 1,000
// cells (argument 0) and as one row of a million cells (argument 1, every cell measured for the
// widths). The load as the tab click runs it.
void BM_TableLoadLargest(benchmark::State &state)
{
    const bool wide = state.range(0) != 0;
    const int rows = wide ? 1 : 1000;
    const int columns = int(csv::kMaxTableCells / rows);
    // Each cell with its comma or line end, so the file stays just within the byte limit.
    const int cellBytes = int(csv::kMaxTableBytes / csv::kMaxTableCells) - 2;
    const QString path
        = writeGrid(wide ? QStringLiteral("largest-wide.csv") : QStringLiteral("largest.csv"), rows,
            columns, cellBytes, "\r\n");
    if (QFileInfo(path).size() > csv::kMaxTableBytes)
        state.SkipWithError("over the byte limit");
    TablePage page(path);
    for (auto _ : state)
        page.clickTab(false);
    if (page.table->rowCount() != rows || page.table->columnCount() != columns)
        state.SkipWithError("wrong table size");
    state.counters["fileMB"] = double(QFileInfo(path).size()) / (1 << 20);
    state.counters["peakMB"] = peakMegabytes();
}
BENCHMARK(BM_TableLoadLargest)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->Iterations(1);

// One cell edited in the loaded 100,000-row table: with auto-save on, the whole file is written
// again (through a temporary file).
void BM_TableCellEdit100k(benchmark::State &state)
{
    TablePage page(writeCsv(QStringLiteral("rows.csv"), 0, 100000));
    page.panel->RefreshData();
    int n = 0;
    for (auto _ : state)
        page.table->item(500, 1)->setText(QString::number(++n));
}
BENCHMARK(BM_TableCellEdit100k)->Unit(benchmark::kMillisecond)->Iterations(10);

} // namespace

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    return 0;
}
