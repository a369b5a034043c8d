// Preparation time of a large script (with and without the origins of its lines),
// interpreter throughput without pacing, and the recorder's conversion of events into lines.
#include "engine/checker.h"
#include "engine/preparation.h"
#include "engine/recording.h"
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
        writeFile(
            middle, QStringLiteral("串1->middle\r\n#insert ") + inner + QStringLiteral("\r\n"));
        writeFile(
            outer, QStringLiteral("串2->outer\r\n#insert ") + middle + QStringLiteral("\r\n"));

        for (int i = 0; i < 100; ++i)
            text += QStringLiteral("#define MACRO%1 鼠标->%1,%1;延时->%1\n")
                        .arg(i, 3, 10, QLatin1Char('0'));
        int line = 0;
        while (text.toUtf8().size() < 40 * 1024) {
            switch (line % 5) {
            case 0:
                text += QStringLiteral("MACRO%1 // a comment\n")
                            .arg(line % 100, 3, 10, QLatin1Char('0'));
                break;
            case 1:
                text += QStringLiteral("键盘->Ctrl+C\n");
                break;
            case 2:
                text += QStringLiteral("/* block\n comment */ 变1->1++\n");
                break;
            case 3:
                text += QStringLiteral("打开->http://example.invalid/path\n");
                break;
            case 4:
                text += QStringLiteral("#insert ") + outer + QStringLiteral("\n");
                break;
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

// The same script with the origin of every prepared line: must stay under 20 ms.
void BM_PrepareLargeScriptWithOrigins(benchmark::State &state)
{
    LargeScript script;
    int lines = 0;
    for (auto _ : state) {
        const preparation::PreparedScript prepared = preparation::prepareWithOrigins(script.text);
        lines = prepared.origins.size();
        benchmark::DoNotOptimize(lines);
    }
    state.counters["input_bytes"] = script.text.toUtf8().size();
    state.counters["prepared_lines"] = lines;
}
BENCHMARK(BM_PrepareLargeScriptWithOrigins)->Unit(benchmark::kMillisecond);

// Preparing with origins and checking every line: what the editor does after a pause in
// typing, and what --check does.
void BM_CheckLargeScript(benchmark::State &state)
{
    LargeScript script;
    int problems = 0;
    for (auto _ : state) {
        problems = checker::checkText(script.text).problems.size();
        benchmark::DoNotOptimize(problems);
    }
    state.counters["problems"] = problems;
}
BENCHMARK(BM_CheckLargeScript)->Unit(benchmark::kMillisecond);

// 40 KB of lines of every command, the image and comparison forms included (their checks
// match the most patterns), with blocks and loops.
void BM_CheckVariedScript(benchmark::State &state)
{
    const QStringList lines = {QStringLiteral("鼠标->100,200"), QStringLiteral("鼠标->左键单击"),
        QStringLiteral("键盘->Ctrl+Shift+Esc*2(50)"), QStringLiteral("对比->(变1>=5)||(串2==[串3])"),
        QStringLiteral("{"), QStringLiteral("识别->0,0-800,600=>/tmp/none/a.bmp[10,20,3](串4)"),
        QStringLiteral("}"), QStringLiteral("else"), QStringLiteral("{"),
        QStringLiteral("截图->0,0-99*99=>[12,14](串5)"), QStringLiteral("}"),
        QStringLiteral("循环a->3"), QStringLiteral("{"), QStringLiteral("粘贴->你好"),
        QStringLiteral("时间->08:30"), QStringLiteral("查csv->k[/tmp/none/a.csv](串6)"),
        QStringLiteral("循环a->1"), QStringLiteral("}"), QStringLiteral("按下->Shift"),
        QStringLiteral("抬起->Shift"), QStringLiteral("跳到->1")};
    QString text;
    while (text.toUtf8().size() < 40 * 1024)
        text += lines.join(QLatin1Char('\n')) + QLatin1Char('\n');
    int problems = 0;
    for (auto _ : state) {
        problems = checker::checkText(text).problems.size();
        benchmark::DoNotOptimize(problems);
    }
    state.counters["problems"] = problems;
}
BENCHMARK(BM_CheckVariedScript)->Unit(benchmark::kMillisecond);

// A 1.5 MB script: 100,000 #define lines with four-letter names, then 20,000 lines that use
// every fifth macro, half of them twice.
QString manyDefines()
{
    QString text;
    text.reserve(1600 * 1000);
    const auto name = [](int i) {
        QString n(4, QLatin1Char('A'));
        for (int k = 3; k >= 0; --k, i /= 26)
            n[k] = QLatin1Char(char('A' + i % 26));
        return n;
    };
    for (int i = 0; i < 100000; ++i)
        text += QStringLiteral("#define %1 %2\n").arg(name(i)).arg(i % 1000);
    for (int i = 0; i < 20000; ++i)
        text += QStringLiteral("延时->%1%2\n").arg(name(i * 5), i % 2 ? name(i * 5) : QString());
    return text;
}

void BM_PrepareManyDefines(benchmark::State &state)
{
    const QString text = manyDefines();
    int lines = 0;
    for (auto _ : state) {
        lines = preparation::prepareFull(text).size();
        benchmark::DoNotOptimize(lines);
    }
    state.counters["input_bytes"] = text.toUtf8().size();
    state.counters["prepared_lines"] = lines;
}
BENCHMARK(BM_PrepareManyDefines)->Unit(benchmark::kMillisecond);

void BM_PrepareManyDefinesWithOrigins(benchmark::State &state)
{
    const QString text = manyDefines();
    int lines = 0;
    for (auto _ : state) {
        lines = preparation::prepareWithOrigins(text).origins.size();
        benchmark::DoNotOptimize(lines);
    }
    state.counters["input_bytes"] = text.toUtf8().size();
    state.counters["prepared_lines"] = lines;
}
BENCHMARK(BM_PrepareManyDefinesWithOrigins)->Unit(benchmark::kMillisecond);

// A file holding one line that inserts itself twice: "#insert P X #insert P ".
void BM_PrepareSelfInsertingLine(benchmark::State &state)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("s.zt"));
    writeFile(path, QStringLiteral("#insert %1 X #insert %1 ").arg(path));
    const QString text = readScriptFile(path);
    for (auto _ : state)
        benchmark::DoNotOptimize(preparation::prepareFull(text));
    state.counters["input_bytes"] = text.toUtf8().size();
}
BENCHMARK(BM_PrepareSelfInsertingLine)->Unit(benchmark::kMillisecond);

// Hard inputs of 64 KB, one per argument: each builds its text, given a folder that holds the
// small script a.zt.
constexpr int hardLimit = 64 * 1024;

QString distinctComments(const QString &)
{
    QString text;
    for (int i = 0; text.size() < hardLimit; ++i)
        text += QStringLiteral("/*%1*/ x->1\n").arg(i);
    return text;
}

// Every comment twice, the copies far apart.
QString commentPairs(const QString &)
{
    QString text;
    QString tail;
    for (int i = 0; text.size() * 2 < hardLimit; ++i) {
        text += QStringLiteral("/*%1*/\n").arg(i);
        tail += QStringLiteral("x /*%1*/\n").arg(i);
    }
    return text + tail;
}

// Each macro's value names the next one.
QString macroChain(const QString &)
{
    QString text;
    for (int i = 0; text.size() < hardLimit - 40; ++i) {
        text += QStringLiteral("#define M%1 x M%2 y\n")
                    .arg(i, 5, 10, QLatin1Char('0'))
                    .arg(i + 1, 5, 10, QLatin1Char('0'));
    }
    return text + QStringLiteral("a->M00000\n");
}

// Macros whose names occur in all later directive lines.
QString macrosRewritingDirectives(const QString &)
{
    QString text;
    for (int i = 0; text.size() < hardLimit - 40; ++i)
        text += QStringLiteral("#define Q%1 Q%2\n").arg(i).arg(i + 1);
    return text + QStringLiteral("a->Q0\n");
}

// Many spellings of one small file.
QString insertsOfSmallFile(const QString &dir)
{
    QString text;
    for (int i = 0; text.size() < hardLimit; ++i) {
        QString path = dir;
        for (int bit = 0; bit < 12; ++bit)
            path += (i >> bit) & 1 ? QStringLiteral("//.") : QStringLiteral("/.");
        text += QStringLiteral("#insert %1/a.zt\n").arg(path);
    }
    return text;
}

// One line of directives naming no file.
QString missingInserts(const QString &)
{
    QString text;
    for (int i = 0; text.size() < hardLimit; ++i)
        text += QStringLiteral("#insert x%1 ").arg(i);
    return text;
}

// One long word, rewritten by many macros.
QString longWordManyMacros(const QString &)
{
    QString text;
    QString word;
    for (int k = 0; k < 800; ++k) {
        text += QStringLiteral("#define N%1 n\n").arg(k, 3, 10, QLatin1Char('0'));
        word += QStringLiteral("N%1").arg(k, 3, 10, QLatin1Char('0'));
    }
    while (text.size() + word.size() < hardLimit)
        text += QStringLiteral("x->") + word + QLatin1Char('\n');
    return text;
}

// Copies inside other comments: every round searches the rest.
QString commentsInsideComments(const QString &)
{
    QString text;
    QString copies;
    for (int i = 0; text.size() + copies.size() < hardLimit; ++i) {
        text += QStringLiteral("/*%1*/\n").arg(i);
        copies += QStringLiteral("/* /*%1*/ */\n").arg(i);
    }
    return text + copies;
}

// Each comment followed by "*" and its copy: every round searches the rest.
QString commentsGluedToCopies(const QString &)
{
    QString text;
    for (int i = 0; text.size() < hardLimit; ++i)
        text += QStringLiteral("/*%1*/*/*%1*/\n").arg(i);
    return text;
}

struct HardCase
{
    const char *label;
    QString (*make)(const QString &dir);
};

const HardCase hardCases[] = {
    {"distinct comments", distinctComments},
    {"comment pairs", commentPairs},
    {"macro chain", macroChain},
    {"macros rewriting later directives", macrosRewritingDirectives},
    {"inserts of a small file", insertsOfSmallFile},
    {"long line of missing inserts", missingInserts},
    {"long word, many macros", longWordManyMacros},
    {"comments inside comments", commentsInsideComments},
    {"comments glued to their copies", commentsGluedToCopies},
};

struct Hard64K
{
    QTemporaryDir dir;
    QString text;
    const char *label = "";

    explicit Hard64K(int which)
    {
        writeFile(dir.filePath(QStringLiteral("a.zt")), QStringLiteral("a->1\r\nb->2\r\n"));
        label = hardCases[which].label;
        text = hardCases[which].make(dir.path());
    }
};

void BM_PrepareHard64K(benchmark::State &state)
{
    Hard64K input(int(state.range(0)));
    int lines = 0;
    for (auto _ : state) {
        lines = preparation::prepareFull(input.text).size();
        benchmark::DoNotOptimize(lines);
    }
    state.SetLabel(input.label);
    state.counters["input_bytes"] = input.text.toUtf8().size();
    state.counters["prepared_lines"] = lines;
}
BENCHMARK(BM_PrepareHard64K)->DenseRange(0, 8)->Unit(benchmark::kMillisecond);

void BM_PrepareHard64KWithOrigins(benchmark::State &state)
{
    Hard64K input(int(state.range(0)));
    int lines = 0;
    for (auto _ : state) {
        lines = preparation::prepareWithOrigins(input.text).origins.size();
        benchmark::DoNotOptimize(lines);
    }
    state.SetLabel(input.label);
    state.counters["input_bytes"] = input.text.toUtf8().size();
    state.counters["prepared_lines"] = lines;
}
BENCHMARK(BM_PrepareHard64KWithOrigins)->DenseRange(0, 8)->Unit(benchmark::kMillisecond);

void BM_InterpreterThroughput(benchmark::State &state)
{
    // A loop of simple variable lines, run on the real thread with zero pacing.
    const int iterations = 20000;
    const QStringList list = {
        QStringLiteral("循环1->%1").arg(iterations),
        QStringLiteral("{"),
        QStringLiteral("变1->1++"),
        QStringLiteral("变2->abc"),
        QStringLiteral("串1->(清空)"),
        QStringLiteral("串1->x"),
        QStringLiteral("变3->[复制]"),
        QStringLiteral("循环1->%1").arg(iterations),
        QStringLiteral("}"),
    };
    const qint64 linesPerRun = qint64(iterations) * 6 + 1;
    for (auto _ : state) {
        ScriptRun run;
        run.keepTimeline = false; // the pauses are still recorded, as the interpreter's tests do
        run.runList(list);
    }
    state.counters["lines_per_second"] = benchmark::Counter(
        double(linesPerRun) * double(state.iterations()), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_InterpreterThroughput)->Unit(benchmark::kMillisecond)->UseRealTime();

// 10,000 recorded events of an ordinary session: words typed with a few corrections and
// capitals, clicks and double clicks, Ctrl+S and Enter, a pause now and then. The event-to-line
// budget of the recorder is 5 ms; per_event shows the conversion's share of it.
QVector<recording::InputEvent> sessionEvents(int count)
{
    using Event = recording::InputEvent;
    QVector<Event> events;
    qint64 t = 0;
    const auto add = [&](Event::Kind kind, int key, const QString &text = {}, QPoint at = {}) {
        Event e;
        e.kind = kind;
        e.timeMs = t += 40 + (events.size() % 7) * 30;
        e.virtualKey = key;
        e.text = text;
        e.button = 1;
        e.position = at;
        events << e;
    };
    const QString words = QStringLiteral("The report for May is attached // see [page 3] ");
    for (int i = 0; events.size() < count; ++i) {
        const QChar c = words.at(i % words.size());
        add(Event::KeyDown, c.toUpper().unicode(), c);
        add(Event::KeyUp, c.toUpper().unicode());
        if (i % 50 == 7) {
            add(Event::KeyDown, 8);
            add(Event::KeyUp, 8);
        } else if (i % 50 == 20) {
            const QPoint at(100 + i % 300, 200);
            for (int click = 0; click < 1 + i % 2; ++click) {
                add(Event::ButtonDown, -1, {}, at);
                add(Event::ButtonUp, -1, {}, at);
            }
        } else if (i % 50 == 35) {
            add(Event::KeyDown, 17);
            add(Event::KeyDown, 'S', QStringLiteral("s"));
            add(Event::KeyUp, 'S');
            add(Event::KeyUp, 17);
            add(Event::KeyDown, 13);
            add(Event::KeyUp, 13);
        }
    }
    events.resize(count);
    return events;
}

void BM_RecordingToLines(benchmark::State &state)
{
    const QVector<recording::InputEvent> events = sessionEvents(10000);
    recording::Options options;
    options.ownHotKeys = {{3, 'R'}};
    int lines = 0;
    for (auto _ : state) {
        lines = recording::linesOf(events, options).size();
        benchmark::DoNotOptimize(lines);
    }
    state.counters["lines"] = lines;
    state.counters["per_event"]
        = benchmark::Counter(double(events.size()) * double(state.iterations()),
            benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}
BENCHMARK(BM_RecordingToLines)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
