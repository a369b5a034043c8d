// Mouse and keyboard commands: 鼠标, 键盘, 按下, 抬起, 粘贴.
#include "engine/commands.h"
#include "engine/keynames.h"
#include "engine/linepatterns.h"
#include "platform/platform.h"

#include <QRegularExpression>

#include <limits>

using namespace linepatterns;

namespace {

const QString kUnknownKey = QStringLiteral("(按键无法识别)");
constexpr int kKeyPause = 20; // after every tap or combination
constexpr int kPastePause = 50;
constexpr int kVirtualControl = 17;
constexpr int kVirtualV = 86;

QRegularExpression wholeMatch(const char *pattern)
{
    // \d as the script patterns mean it: any decimal digit.
    return QRegularExpression(
        QLatin1String("\\A(?:") + QString::fromUtf8(pattern) + QLatin1String(")\\z"),
        QRegularExpression::UseUnicodePropertiesOption
            | QRegularExpression::DotMatchesEverythingOption);
}

int clampToInt(qint64 v)
{
    return int(qBound<qint64>(std::numeric_limits<int>::min(), v, std::numeric_limits<int>::max()));
}

// One coordinate of a relative move: base + offset, times the pass number when ">>>" follows.
int offsetCoordinate(int base, const QString &offset, bool perPass, int passNumber)
{
    const qint64 d = toNumber(offset);
    return clampToInt(qint64(base) + d * (perPass ? passNumber : 1));
}

void tap(Platform &platform, int code)
{
    platform.keyDown(code);
    platform.keyUp(code);
}

// Pauses after a key repetition; a stop request ends the pause, as it ends a delay.
void keyPause(CommandContext &ctx, int ms)
{
    constexpr int slice = 10;
    while (ms > 0 && ctx.running()) {
        const int step = qMin(ms, slice);
        ctx.pause(step);
        ms -= step;
    }
}

// The pointer moves of 鼠标: "x,y", a relative "dx*dy" and a fixed point "x,y(dx*dy)", where
// ">>>" after an offset multiplies it by the pass number. false when the argument is none.
bool movePointer(CommandContext &ctx, const QString &arg, const QPoint &here)
{
    static const QRegularExpression absolute = wholeMatch("(\\d+),(\\d+)");
    static const QRegularExpression relative = wholeMatch("([-+]?\\d+)(>>>)?\\*([-+]?\\d+)(>>>)?");
    static const QRegularExpression fixedPoint
        = wholeMatch("(\\d+),(\\d+)[(（]([-+]?\\d+)(>>>)?\\*([-+]?\\d+)(>>>)?[)）]");

    Platform &platform = ctx.platform();
    QRegularExpressionMatch m = absolute.match(arg);
    if (m.hasMatch()) {
        platform.setCursorPosition(QPoint(toNumber(m.captured(1)), toNumber(m.captured(2))));
        return true;
    }
    const int pass = ctx.passNumber();
    QPoint base = here;
    int offset = 1; // the group of the first offset
    m = relative.match(arg);
    if (!m.hasMatch()) {
        m = fixedPoint.match(arg);
        if (!m.hasMatch())
            return false;
        base = QPoint(toNumber(m.captured(1)), toNumber(m.captured(2)));
        offset = 3;
    }
    platform.setCursorPosition(QPoint(
        offsetCoordinate(base.x(), m.captured(offset), m.capturedLength(offset + 1) > 0, pass),
        offsetCoordinate(
            base.y(), m.captured(offset + 2), m.capturedLength(offset + 3) > 0, pass)));
    return true;
}

// The button forms of 鼠标; false when the argument is none of them.
bool pressButtons(CommandContext &ctx, const QString &arg)
{
    Platform &platform = ctx.platform();
    if (arg == QStringLiteral("左键双击")) {
        platform.mouseButton(Platform::LeftDown);
        platform.mouseButton(Platform::LeftUp);
        ctx.pause(200);
        platform.mouseButton(Platform::LeftDown);
        platform.mouseButton(Platform::LeftUp);
    } else if (arg == QStringLiteral("左键单击")) {
        platform.mouseButton(Platform::LeftDown);
        platform.mouseButton(Platform::LeftUp);
    } else if (arg == QStringLiteral("左键按下")) {
        platform.mouseButton(Platform::LeftDown);
    } else if (arg == QStringLiteral("左键提起")) {
        platform.mouseButton(Platform::LeftUp);
    } else if (arg == QStringLiteral("右键单击")) {
        platform.mouseButton(Platform::RightDown);
        platform.mouseButton(Platform::RightUp);
    } else {
        return false;
    }
    return true;
}

} // namespace

LineOutcome cmdMouse(CommandContext &ctx, const ScriptLine &line)
{
    QString arg = line.argument;
    if (!ctx.resolveSource(line, arg, true))
        return LineOutcome::Continue;
    arg.replace(QChar(0xFF0C), QLatin1Char(',')); // full-width comma

    const QPoint here = ctx.platform().cursorPosition();
    const QString position
        = QString::number(here.x()) + QLatin1Char(',') + QString::number(here.y());
    // A target takes the position; an index out of range ends the run after this line.
    if (ctx.deliverResult(line, arg, position) != Delivery::NoTarget)
        return LineOutcome::Continue;
    if (!movePointer(ctx, arg, here) && !pressButtons(ctx, arg))
        ctx.showLineError(line.text);
    return LineOutcome::Continue;
}

namespace {

// The keys of one 键盘 repetition: one key is tapped; a combination is pressed in the written
// order and released in the same order. false after reporting an unknown name.
bool pressKeys(
    CommandContext &ctx, const ScriptLine &line, const QString &keys, const QStringList &names)
{
    Platform &platform = ctx.platform();
    if (names.size() <= 1) {
        const int code = keynames::virtualKey(keys);
        if (code < 0) {
            ctx.showLineError(line.text + kUnknownKey);
            return false;
        }
        tap(platform, code);
        return true;
    }
    bool known = true;
    for (const QString &name : names) {
        const int code = keynames::virtualKey(name);
        if (code < 0) {
            ctx.showLineError(line.text + kUnknownKey);
            known = false;
            break;
        }
        platform.keyDown(code);
    }
    for (const QString &name : names) {
        const int code = keynames::virtualKey(name);
        if (code < 0) {
            ctx.showLineError(line.text + kUnknownKey);
            known = false;
            break;
        }
        platform.keyUp(code);
    }
    return known;
}

// The parts of a 键盘 argument after its pause suffix "(ms)" is taken off: the keys and the
// repeat count ("*N", or the pass number for a trailing ">>").
struct KeyRepeat
{
    QString keys;
    int count = 1;
    int pause = kKeyPause;
};

KeyRepeat parseKeyRepeat(CommandContext &ctx, QString arg)
{
    static const QRegularExpression extraPause = wholeMatch(".+[(（](.*)[)）]");
    static const QRegularExpression pauseText(
        QStringLiteral("[(（].*[)）]"), QRegularExpression::DotMatchesEverythingOption);
    static const QRegularExpression perPass = wholeMatch(".+(>>)");

    KeyRepeat repeat;
    const QRegularExpressionMatch pm = extraPause.match(arg);
    if (pm.hasMatch()) {
        repeat.pause += toNumber(pm.captured(1));
        arg.remove(pauseText);
    }
    repeat.keys = arg;
    const QStringList countParts = arg.split(QLatin1Char('*'), Qt::KeepEmptyParts);
    if (countParts.size() == 2) {
        repeat.keys = countParts.at(0);
        repeat.count = toNumber(countParts.at(1));
    } else if (countParts.size() == 1 && perPass.match(arg).hasMatch()) {
        repeat.keys.remove(QStringLiteral(">>"));
        repeat.count = ctx.passNumber();
    }
    return repeat;
}

} // namespace

LineOutcome cmdKeyboard(CommandContext &ctx, const ScriptLine &line)
{
    QString arg = line.argument;
    if (!ctx.resolveSource(line, arg, true))
        return LineOutcome::Continue;
    arg.replace(QChar(0xFF08), QLatin1Char('(')).replace(QChar(0xFF09), QLatin1Char(')'));

    if (arg == QLatin1String("+") || arg == QLatin1String("*")) {
        tap(ctx.platform(), keynames::virtualKey(arg));
        return LineOutcome::Continue;
    }

    const KeyRepeat repeat = parseKeyRepeat(ctx, arg);
    const QStringList names = repeat.keys.split(QLatin1Char('+'), Qt::KeepEmptyParts);
    for (int i = 0; i < repeat.count; ++i) {
        // A stop request (or an error of an earlier repetition) ends the repeat here, so a
        // long repeat never outlasts the run.
        if (i > 0 && !ctx.running())
            break;
        // An unknown name of a single key ends the repeat at once; a combination still pauses.
        if (!pressKeys(ctx, line, repeat.keys, names) && names.size() <= 1)
            break;
        keyPause(ctx, repeat.pause);
    }
    return LineOutcome::Continue;
}

namespace {

LineOutcome singleKey(CommandContext &ctx, const ScriptLine &line, bool down)
{
    QString arg = line.argument;
    if (!ctx.resolveSource(line, arg, true))
        return LineOutcome::Continue;
    const int code = keynames::virtualKey(arg);
    if (code < 0) {
        ctx.showLineError(line.text + kUnknownKey);
        return LineOutcome::Continue;
    }
    if (down)
        ctx.platform().keyDown(code);
    else
        ctx.platform().keyUp(code);
    return LineOutcome::Continue;
}

} // namespace

LineOutcome cmdKeyDown(CommandContext &ctx, const ScriptLine &line)
{
    return singleKey(ctx, line, true);
}

LineOutcome cmdKeyUp(CommandContext &ctx, const ScriptLine &line)
{
    return singleKey(ctx, line, false);
}

LineOutcome cmdPaste(CommandContext &ctx, const ScriptLine &line)
{
    QString text = line.argument;
    if (!ctx.resolveSource(line, text, true))
        return LineOutcome::Continue;
    qint64 number = 0;
    QChar c;
    if (countForm(text, &number))
        text = QString::number(number + ctx.passOffset());
    else if (charForm(text, &c))
        text = QString(QChar(char16_t(c.unicode() + ctx.passOffset())));

    ctx.setClipboard(text);
    ctx.pause(kPastePause);
    // The write is queued to the window's thread; a read goes through the same queue, so once
    // it returns the clipboard holds the text (owned by this program) and Ctrl+V pastes it.
    // The read gives up when the run is stopped; then nothing is pasted.
    ctx.readClipboard();
    if (!ctx.running())
        return LineOutcome::Continue;

    Platform &platform = ctx.platform();
    platform.keyDown(kVirtualControl);
    platform.keyDown(kVirtualV);
    platform.keyUp(kVirtualControl);
    platform.keyUp(kVirtualV);
    ctx.pause(kPastePause);
    return LineOutcome::Continue;
}
