// libFuzzer target: any text must prepare and run to its end without crashing, hanging or
// growing without bound. The first byte picks a few #insert files' contents from the input.
// The preparation with origins must give the same lines, each with an origin inside its file,
// and the checker must read them without crashing, every problem on a line that exists.
#include "engine/checker.h"
#include "engine/preparation.h"
#include "fuzzinput.h"
#include "scriptrun.h"

#include <QHash>

#include <algorithm>
#include <cstdint>
#include <cstdlib>

namespace {

// The lines of a source as the preparation read them: the script with its comment spellings
// taken as what they stand for, an inserted file as it is.
QStringList sourceLines(const QString &text, bool script)
{
    QString source = text;
    if (script) {
        source.replace(QLatin1String("#:"), QLatin1String("//"));
        source.replace(QStringLiteral("#："), QLatin1String("//"));
        source.replace(QLatin1String("#["), QLatin1String("/*"));
        source.replace(QLatin1String("#]"), QLatin1String("*/"));
    }
    return source.split(QLatin1Char('\n'));
}

// Each origin names a line of its file, and a line that no macro wrote begins with a
// character of that line.
preparation::PreparedScript checkOrigins(
    const QString &text, const preparation::FileReader &reader, const QStringList &full)
{
    const preparation::PreparedScript prepared = preparation::prepareWithOrigins(text, reader);
    if (prepared.lines != full || prepared.origins.size() != full.size())
        abort();
    QHash<QString, QStringList> sources;
    for (int i = 0; i < full.size(); ++i) {
        const preparation::LineOrigin &origin = prepared.origins.at(i);
        auto lines = sources.find(origin.file);
        if (lines == sources.end()) {
            const std::optional<QString> source
                = origin.file.isEmpty() ? std::optional<QString>(text) : reader(origin.file);
            if (!source)
                abort();
            lines = sources.insert(origin.file, sourceLines(*source, origin.file.isEmpty()));
        }
        if (origin.line < 1 || origin.line > lines->size())
            abort();
        if (!origin.rewritten && !lines->at(origin.line - 1).contains(full.at(i).at(0)))
            abort();
    }
    return prepared;
}

void checkProblems(const preparation::PreparedScript &prepared)
{
    checker::Options options;
    options.fileExists = [](const QString &) { return false; }; // no file system
    for (const checker::Problem &p : checker::check(prepared, options)) {
        if (p.line < 0 || p.line > prepared.lines.size() || p.message.isEmpty())
            abort();
        if (p.line > 0 && p.origin.line != prepared.origins.at(p.line - 1).line)
            abort();
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    fuzz::startOnce("fuzz");

    const QString text = QString::fromUtf8(reinterpret_cast<const char *>(data), int(size));
    // Inserted files are parts of the input itself, so cycles and nesting get explored.
    const QStringList pieces = text.split(QStringLiteral("\n--\n"));
    const preparation::FileReader reader = [&pieces](const QString &path) -> std::optional<QString> {
        bool ok = false;
        const int i = path.trimmed().toInt(&ok);
        if (!ok || i < 0 || i >= pieces.size())
            return std::nullopt;
        return pieces.at(i);
    };
    QStringList list = preparation::prepareFull(text, reader);
    preparation::prepareReduced(text, reader);
    checkProblems(checkOrigins(text, reader, list));

    // Only the interpreter's own commands run: the families touch files, processes, the
    // screen and the clock of the machine doing the fuzzing.
    static const QStringList families = {
        QStringLiteral("鼠标"), QStringLiteral("键盘"), QStringLiteral("按下"), QStringLiteral("抬起"),
        QStringLiteral("粘贴"), QStringLiteral("延时"), QStringLiteral("时间"), QStringLiteral("关机"),
        QStringLiteral("打开"), QStringLiteral("文件夹"), QStringLiteral("cmd"), QStringLiteral("进程"),
        QStringLiteral("识别"), QStringLiteral("存csv"), QStringLiteral("查csv"), QStringLiteral("文件"),
        QStringLiteral("改名"), QStringLiteral("截图"), QStringLiteral("图片")};
    list.erase(std::remove_if(list.begin(), list.end(),
                              [](const QString &entry) {
                                  return families.contains(entry.section(QStringLiteral("->"), 0, 0).trimmed());
                              }),
               list.end());

    // Run what came out, with a bound on the lines so endless loops stop.
    ScriptRun run;
    QObject guard;
    int steps = 0;
    QObject::connect(&run.thread, &QInstructionThread::Signal_StepNum, &guard,
                     [&](int) {
                         if (++steps > 2000)
                             run.thread.executeFlag = false;
                     },
                     Qt::DirectConnection);
    run.onRefresh = [&list] { return list; };
    run.runList(list);
    return 0;
}
