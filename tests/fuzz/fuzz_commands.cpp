// libFuzzer target for the argument forms of the mouse, keyboard and image commands, run by
// the real interpreter against the recording platform with a prepared screen, with no real
// pauses and a budget that stops runs which would go on for too long.
//
// Nothing may leave the sandbox folder: every "/" of the input is dropped and every "@" stands
// for the sandbox path with a "/" after it, so a path is either relative to the sandbox (the
// current folder) or starts inside it. The sandbox lies two levels below the temporary root,
// so the ".." that can follow it stays inside the root. The sandbox is set up afresh for every
// input: a template "t.bmp" and a glyph library "BmpLibrary" beside the program's stand-in
// executable.
#include "engine/instructionthread.h"
#include "engine/linepatterns.h"
#include "engine/preparation.h"
#include "fakeplatform.h"
#include "fakesleeper.h"
#include "fuzzinput.h"

#include <QDir>
#include <QPainter>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <QTemporaryDir>

#include <algorithm>
#include <atomic>

namespace {

constexpr int kScreenWidth = 80;
constexpr int kScreenHeight = 60;

QImage noiseTemplate()
{
    QRandomGenerator random(5);
    QImage image(8, 6, QImage::Format_RGB32);
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x)
            image.setPixel(x, y, random.generate() | 0xff000000u);
    }
    return image;
}

// A black bar 2 × 8: the glyph "l" of the library, drawn twice on the screen's text line.
QImage bar()
{
    QImage image(2, 8, QImage::Format_RGB32);
    image.fill(Qt::black);
    return image;
}

class Sandbox
{
public:
    QTemporaryDir root;
    QString path; // root/box/work
    QImage templ = noiseTemplate();
    QImage screen;

    Sandbox()
    {
        if (!root.isValid())
            fuzz::fail("no temporary folder");
        path = root.filePath(QStringLiteral("box/work"));
        QImage page(kScreenWidth, kScreenHeight, QImage::Format_RGB32);
        page.fill(Qt::white);
        QPainter painter(&page);
        painter.drawImage(30, 20, templ);
        painter.drawImage(5, 45, bar());
        painter.drawImage(9, 45, bar());
        painter.end();
        screen = page;
    }

    // Empties the sandbox, puts the fixtures back and makes it the current folder (which
    // relative paths of the script start from) until restore().
    void reset()
    {
        outside = QDir::currentPath();
        QDir(path).removeRecursively();
        QDir().mkpath(path + QStringLiteral("/BmpLibrary"));
        if (!QDir::setCurrent(path))
            fuzz::fail("cannot enter the sandbox");
        templ.save(path + QStringLiteral("/t.bmp"), "BMP");
        bar().save(path + QStringLiteral("/BmpLibrary/l.bmp"), "BMP");
        QImage blank(3, 8, QImage::Format_RGB32);
        blank.fill(Qt::white);
        blank.save(path + QStringLiteral("/BmpLibrary/BlankSpace.bmp"), "BMP");
    }

    // libFuzzer reads and writes its folders by the paths it was given.
    void restore() { QDir::setCurrent(outside); }

private:
    QString outside;
};

const QStringList kInput = {QStringLiteral("鼠标"), QStringLiteral("键盘"), QStringLiteral("按下"),
    QStringLiteral("抬起"), QStringLiteral("粘贴")};
const QStringList kImage = {QStringLiteral("识别"), QStringLiteral("截图"), QStringLiteral("图片")};
// The interpreter's own words that steer a run; other families stay out (they wait on the
// clock, start programs or touch files the sandbox rule does not cover).
const QStringList kCore = {QStringLiteral("执行"), QStringLiteral("截止"), QStringLiteral("复制"),
    QStringLiteral("已复制"), QStringLiteral("对比"), QStringLiteral("跳到"),
    QStringLiteral("跳加"), QStringLiteral("跳减"), QStringLiteral("刷新")};

bool isCoreLine(const QString &command)
{
    return kCore.contains(command) || command.startsWith(QStringLiteral("循环"))
        || linepatterns::stringCommand(command, nullptr)
        || linepatterns::numberCommand(command, nullptr);
}

// The lines that may run, with image commands kept to regions of a screen's size: numbers of
// at most three digits, and no argument taken from a variable, whose text a loop can grow.
QStringList runnable(const QStringList &list)
{
    static const QRegularExpression longNumber(QStringLiteral("(\\d{3})\\d+"));
    QStringList out;
    for (QString entry : list) {
        const QString command = entry.section(QStringLiteral("->"), 0, 0).trimmed();
        if (!entry.contains(QStringLiteral("->"))) {
            out << entry; // braces, else, blank lines
        } else if (kImage.contains(command)) {
            const QString argument = entry.section(QStringLiteral("->"), 1).trimmed();
            int n = 0;
            if (linepatterns::stringSource(argument, &n) || linepatterns::numberSource(argument, &n)
                || argument == QStringLiteral("[复制]"))
                continue;
            out << entry.replace(longNumber, QStringLiteral("\\1"));
        } else if (kInput.contains(command) || isCoreLine(command)) {
            out << entry;
        }
    }
    return out;
}

// A run is cut short (as the stop button would) once it has asked for more than a day of
// pauses, pressed more keys than a person could wait for, or run 2000 lines: repeat counts and
// pauses of any size are allowed by the commands, and stopping is how they end.
constexpr qint64 kMaxPausedMs = qint64(24) * 3600 * 1000;
constexpr int kMaxInputCalls = 20000;
constexpr int kMaxSteps = 2000;

// Stops the run once it has asked for more than a day of pauses.
void limitPauses(FakeSleeper &sleeper, std::atomic<bool> &running)
{
    sleeper.keepPauses = false;
    sleeper.onPause = [&running, total = qint64(0)](int, int ms) mutable {
        total += qMax(ms, 0);
        if (total > kMaxPausedMs)
            running = false;
    };
}

// The pointer stays on the screen, as a real one does.
class BudgetPlatform : public FakePlatform
{
public:
    BudgetPlatform(std::atomic<bool> &running, const QImage &page)
        : m_running(running)
    {
        screen = page;
        cursor = QPoint(10, 10);
    }
    void keyDown(int virtualKey) override
    {
        count();
        FakePlatform::keyDown(virtualKey);
    }
    void keyUp(int virtualKey) override
    {
        count();
        FakePlatform::keyUp(virtualKey);
    }
    void mouseButton(MouseButtonEvent event) override
    {
        count();
        FakePlatform::mouseButton(event);
    }
    void setCursorPosition(const QPoint &position) override
    {
        count();
        FakePlatform::setCursorPosition(QPoint(
            qBound(0, position.x(), kScreenWidth - 1), qBound(0, position.y(), kScreenHeight - 1)));
    }

private:
    void count()
    {
        if (++m_calls > kMaxInputCalls)
            m_running = false;
    }
    std::atomic<bool> &m_running;
    int m_calls = 0;
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    fuzz::startOnce("fuzz_commands", true);
    static Sandbox sandbox;

    QString text = QString::fromUtf8(reinterpret_cast<const char *>(data), int(size));
    text.remove(QLatin1Char('/'));
    text.replace(QLatin1Char('@'), sandbox.path + QLatin1Char('/'));
    sandbox.reset();

    // #insert reads nothing: the sandbox rule covers the commands, not the preparation.
    const preparation::FileReader nothing = [](const QString &) { return std::nullopt; };
    const QStringList list = runnable(preparation::prepareFull(text, nothing));

    QInstructionThread thread;
    BudgetPlatform platform(thread.executeFlag, sandbox.screen);
    FakeSleeper sleeper;
    limitPauses(sleeper, thread.executeFlag);
    platform.exePath = sandbox.path + QStringLiteral("/Quorvel");
    QString clipboard = QStringLiteral("12,34");
    thread.setPlatform(&platform);
    thread.setSleeper(&sleeper);
    thread.setClipboardReader([&clipboard] { return clipboard; });
    thread.setInstructionList(list);
    // Direct connections: the receivers run on the interpreter thread, in order.
    QObject guard;
    QObject::connect(
        &thread, &QInstructionThread::ClipboardSetText, &guard,
        [&clipboard](const QString &written) { clipboard = written; }, Qt::DirectConnection);
    QObject::connect(
        &thread, &QInstructionThread::Signal_RefreshInstructions, &guard,
        [&] { thread.setInstructionList(list); }, Qt::DirectConnection);
    int steps = 0;
    QObject::connect(
        &thread, &QInstructionThread::Signal_StepNum, &guard,
        [&](int) {
            if (++steps > kMaxSteps)
                thread.executeFlag = false;
        },
        Qt::DirectConnection);
    thread.executeFlag = true;
    thread.start();
    thread.wait();
    sandbox.restore();

    // Only input and screen captures reached the platform: no command line, process, file or
    // desktop setting.
    for (const QString &call : qAsConst(platform.calls)) {
        const bool input = call.startsWith(QStringLiteral("key"))
            || call.startsWith(QStringLiteral("mouse:"))
            || call.startsWith(QStringLiteral("pointer:")) || call == QStringLiteral("capture");
        FUZZ_CHECK(input, call.toUtf8());
    }
    return 0;
}
