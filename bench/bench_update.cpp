// Update figures: the work done on the GUI thread between the download and the new program's
// start (the SHA-256 of the archive, unpacking the program files), with a release of the built
// program: tens of megabytes of real machine code.
#include "update/feed.h"
#include "update/install.h"
#include "update/releasefiles.h"

#include <QCoreApplication>
#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

namespace {

struct Release
{
    QTemporaryDir dir;
    QString zip;
    qint64 size = 0;
    QByteArray sha256;
};

// The release zip, made once by CMake's zip writer as the release target makes it.
Release &release()
{
    static Release r;
    if (!r.zip.isEmpty())
        return r;
    const QString stage = r.dir.filePath(QStringLiteral("stage"));
    QDir().mkpath(stage + QStringLiteral("/iconengines"));
    QFile::copy(QStringLiteral(QUORVEL_BINARY),
        stage + QLatin1Char('/') + programFilesOf(currentSystemName()).first());
    QFile help(stage + QStringLiteral("/QuorvelExplain.txt"));
    help.open(QIODevice::WriteOnly);
    help.write(QByteArray("使用说明\n").repeated(5000));
    help.close();
    QFile icon(stage + QStringLiteral("/iconengines/zt.ico"));
    icon.open(QIODevice::WriteOnly);
    icon.write(QByteArray(20000, '\x01'));
    icon.close();
    r.zip = r.dir.filePath(QStringLiteral("release.zip"));
    QProcess tar;
    tar.setWorkingDirectory(stage);
    tar.start(QStringLiteral(QUORVEL_CMAKE),
        {QStringLiteral("-E"), QStringLiteral("tar"), QStringLiteral("cf"), r.zip,
            QStringLiteral("--format=zip"), QStringLiteral(".")});
    tar.waitForFinished(120000);
    QFile zip(r.zip);
    zip.open(QIODevice::ReadOnly);
    r.size = zip.size();
    r.sha256 = QCryptographicHash::hash(zip.readAll(), QCryptographicHash::Sha256).toHex();
    return r;
}

void BM_ArchiveMatches(benchmark::State &state)
{
    Release &r = release();
    for (auto _ : state)
        benchmark::DoNotOptimize(archiveMatches(r.zip, r.size, r.sha256));
    state.counters["MB"] = double(r.size) / (1 << 20);
}
BENCHMARK(BM_ArchiveMatches)->Unit(benchmark::kMillisecond);

void BM_UnpackProgramFiles(benchmark::State &state)
{
    Release &r = release();
    int round = 0;
    for (auto _ : state) {
        const QString folder = r.dir.filePath(QStringLiteral("unpacked%1").arg(round++));
        const UnpackResult unpacked = unpackProgramFiles(r.zip, folder);
        if (!unpacked.ok())
            state.SkipWithError(qPrintable(unpacked.reason));
        state.PauseTiming();
        QDir(folder).removeRecursively();
        state.ResumeTiming();
    }
    state.counters["zipMB"] = double(r.size) / (1 << 20);
}
BENCHMARK(BM_UnpackProgramFiles)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    return 0;
}
