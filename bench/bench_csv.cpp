// CSV figures: a lookup in a 50 MB file (goal: under 100 ms) and loading a 100,000-row file
// into the table editor (the window must not freeze for more than a second or two).
#include "app/mainwindow.h"
#include "csv/csvfile.h"
#include "fakeplatform.h"

#include <QApplication>
#include <QFile>
#include <QLineEdit>
#include <QTabBar>
#include <QTabWidget>
#include <QTableWidget>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

#include <memory>

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

// The CSV tab clicked with a 100,000-row file: the load as the click runs it; with argument 1
// including the events that follow (the page shown and painted).
void BM_TableLoad100k(benchmark::State &state)
{
    const QString path = writeCsv(QStringLiteral("rows.csv"), 0, 100000);
    FakePlatform platform;
    ProcessState process;
    process.programFolder = folder().path() + QLatin1Char('/');
    process.settingsPath = process.programFolder + QStringLiteral("Quorvel.qcf");
    auto window = std::make_unique<MainWindow>(process, platform);
    window->RefreshData(); // nothing yet: the path is empty
    auto *tabs = window->findChild<QTabWidget *>(QStringLiteral("tabWidget"));
    window->findChild<QLineEdit *>(QStringLiteral("lEdt_CsvFilePath"))->setText(path);
    QCoreApplication::processEvents();
    for (auto _ : state) {
        tabs->setCurrentIndex(0);
        QCoreApplication::processEvents();
        emit tabs->tabBar()->tabBarClicked(2);
        if (state.range(0)) {
            tabs->setCurrentIndex(2);
            QCoreApplication::processEvents();
        }
    }
    auto *table = window->findChild<QTableWidget *>(QStringLiteral("tblW_Csv"));
    if (table->rowCount() != 100000)
        state.SkipWithError("wrong row count");
    state.counters["rows"] = table->rowCount();
}
BENCHMARK(BM_TableLoad100k)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->Iterations(5);

// One cell edited in the loaded 100,000-row table: with auto-save on, the whole file is written
// again (through a temporary file).
void BM_TableCellEdit100k(benchmark::State &state)
{
    const QString path = writeCsv(QStringLiteral("rows.csv"), 0, 100000);
    FakePlatform platform;
    ProcessState process;
    process.programFolder = folder().path() + QLatin1Char('/');
    process.settingsPath = process.programFolder + QStringLiteral("Quorvel.qcf");
    auto window = std::make_unique<MainWindow>(process, platform);
    window->findChild<QLineEdit *>(QStringLiteral("lEdt_CsvFilePath"))->setText(path);
    window->RefreshData();
    auto *table = window->findChild<QTableWidget *>(QStringLiteral("tblW_Csv"));
    int n = 0;
    for (auto _ : state)
        table->item(500, 1)->setText(QString::number(++n));
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
