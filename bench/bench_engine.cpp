// Preparation time of a large script and interpreter throughput without pacing.
#include "engine/preparation.h"
#include "scriptrun.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

namespace {

void writeFile(const QString &path, const QString &text)
{
    QFile f(path);
    f.open(QIODevice::WriteOnly);
    f.write(text.toLocal8Bit());
}

// A 40 KB script: 100 #define lines, then statements that use the macros, and three levels of
// nested #insert files.
struct LargeScript
{
    QTemporaryDir dir;
    QString text;

    LargeScript()
    {
        const QString inner = dir.filePath(QStringLiteral("inner.zt"));
        const QString middle = dir.filePath(QStringLiteral("middle.zt"));
        const QString outer = dir.filePath(QStringLiteral("outer.zt"));
        QString innerText;
        for (int i = 0; i < 40; ++i)
            innerText += QStringLiteral("变%1->%2\r\n").arg(i % 100 + 1).arg(i);
        writeFile(inner, innerText);
        writeFile(middle, QStringLiteral("串1->middle\r\n#insert ") + inner + QStringLiteral("\r\n"));
        writeFile(outer, QStringLiteral("串2->outer\r\n#insert ") + middle + QStringLiteral("\r\n"));

        for (int i = 0; i < 100; ++i)
            text += QStringLiteral("#define MACRO%1 鼠标->%1,%1;延时->%1\n").arg(i, 3, 10, QLatin1Char('0'));
        int line = 0;
        while (text.toUtf8().size() < 40 * 1024) {
            switch (line % 5) {
            case 0: text += QStringLiteral("MACRO%1 // a comment\n").arg(line % 100, 3, 10, QLatin1Char('0')); break;
            case 1: text += QStringLiteral("键盘->Ctrl+C\n"); break;
            case 2: text += QStringLiteral("/* block\n comment */ 变1->1++\n"); break;
            case 3: text += QStringLiteral("打开->http://example.invalid/path\n"); break;
            case 4: text += QStringLiteral("#insert ") + outer + QStringLiteral("\n"); break;
            }
            ++line;
        }
    }
};

void BM_PrepareLargeScript(benchmark::State &state)
{
    LargeScript script;
    int lines = 0;
    for (auto _ : state) {
        const QStringList list = preparation::prepareFull(script.text);
        lines = list.size();
        benchmark::DoNotOptimize(lines);
    }
    state.counters["input_bytes"] = script.text.toUtf8().size();
    state.counters["prepared_lines"] = lines;
}
BENCHMARK(BM_PrepareLargeScript)->Unit(benchmark::kMillisecond);

void BM_InterpreterThroughput(benchmark::State &state)
{
    // A loop of simple variable lines, run on the real thread with zero pacing.
    const int iterations = 20000;
    const QStringList list = {
        QStringLiteral("循环1->%1").arg(iterations), QStringLiteral("{"),
        QStringLiteral("变1->1++"), QStringLiteral("变2->abc"), QStringLiteral("串1->(清空)"),
        QStringLiteral("串1->x"), QStringLiteral("变3->[复制]"),
        QStringLiteral("循环1->%1").arg(iterations), QStringLiteral("}"),
    };
    const qint64 linesPerRun = qint64(iterations) * 6 + 1;
    for (auto _ : state) {
        ScriptRun run;
        run.runList(list);
    }
    state.counters["lines_per_second"] = benchmark::Counter(
        double(linesPerRun) * double(state.iterations()), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_InterpreterThroughput)->Unit(benchmark::kMillisecond)->UseRealTime();

} // namespace

BENCHMARK_MAIN();
