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
// ">>>" after an offset multiplies it by the pass number.
enum class PointerForm { None, Absolute, Relative, FixedPoint };

PointerForm pointerForm(const QString &arg, QRegularExpressionMatch *m)
{
    static const QRegularExpression absolute = wholeMatch("(\\d+),(\\d+)");
    static const QRegularExpression relative = wholeMatch("([-+]?\\d+)(>>>)?\\*([-+]?\\d+)(>>>)?");
    static const QRegularExpression fixedPoint
        = wholeMatch("(\\d+),(\\d+)[(（]([-+]?\\d+)(>>>)?\\*([-+]?\\d+)(>>>)?[)）]");
    if ((*m = absolute.match(arg)).hasMatch())
        return PointerForm::Absolute;
    if ((*m = relative.match(arg)).hasMatch())
        return PointerForm::Relative;
    if ((*m = fixedPoint.match(arg)).hasMatch())
        return PointerForm::FixedPoint;
    return PointerForm::None;
}

// false when the argument is no pointer move.
bool movePointer(CommandContext &ctx, const QString &arg, const QPoint &here)
{
    QRegularExpressionMatch m;
    const PointerForm form = pointerForm(arg, &m);
    Platform &platform = ctx.platform();
    if (form == PointerForm::None)
        return false;
    if (form == PointerForm::Absolute) {
        platform.setCursorPosition(QPoint(toNumber(m.captured(1)), toNumber(m.captured(2))));
        return true;
    }
    const int pass = ctx.passNumber();
    QPoint base = here;
    int offset = 1; // the group of the first offset
    if (form == PointerForm::FixedPoint) {
        base = QPoint(toNumber(m.captured(1)), toNumber(m.captured(2)));
        offset = 3;
    }
    platform.setCursorPosition(QPoint(
        offsetCoordinate(base.x(), m.captured(offset), m.capturedLength(offset + 1) > 0, pass),
        offsetCoordinate(
            base.y(), m.captured(offset + 2), m.capturedLength(offset + 3) > 0, pass)));
    return true;
}

// The button forms of 鼠标, in the order of the events each one sends.
enum class ButtonForm { None, DoubleClick, Click, Down, Up, RightClick };

ButtonForm buttonForm(const QString &arg)
{
    static const QVector<QPair<QString, ButtonForm>> forms = {
        {QStringLiteral("左键双击"), ButtonForm::DoubleClick},
        {QStringLiteral("左键单击"), ButtonForm::Click},
        {QStringLiteral("左键按下"), ButtonForm::Down},
        {QStringLiteral("左键提起"), ButtonForm::Up},
        {QStringLiteral("右键单击"), ButtonForm::RightClick},
    };
    for (const auto &form : forms) {
        if (arg == form.first)
            return form.second;
    }
    return ButtonForm::None;
}

// false when the argument is no button form.
bool pressButtons(CommandContext &ctx, const QString &arg)
{
    Platform &platform = ctx.platform();
    switch (buttonForm(arg)) {
    case ButtonForm::None:
        return false;
    case ButtonForm::DoubleClick:
        platform.mouseButton(Platform::LeftDown);
        platform.mouseButton(Platform::LeftUp);
        ctx.pause(200);
        platform.mouseButton(Platform::LeftDown);
        platform.mouseButton(Platform::LeftUp);
        break;
    case ButtonForm::Click:
        platform.mouseButton(Platform::LeftDown);
        platform.mouseButton(Platform::LeftUp);
        break;
    case ButtonForm::Down:
        platform.mouseButton(Platform::LeftDown);
        break;
    case ButtonForm::Up:
        platform.mouseButton(Platform::LeftUp);
        break;
    case ButtonForm::RightClick:
        platform.mouseButton(Platform::RightDown);
        platform.mouseButton(Platform::RightUp);
        break;
    }
    return true;
}

QString mouseArgument(QString arg)
{
    return arg.replace(QChar(0xFF0C), QLatin1Char(',')); // full-width comma
}

} // namespace

LineOutcome cmdMouse(CommandContext &ctx, const ScriptLine &line)
{
    QString arg = line.argument;
    if (!ctx.resolveSource(line, arg, true))
        return LineOutcome::Continue;
    arg = mouseArgument(arg);

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

void checkMouse(LineCheck &check, const ScriptLine &line)
{
    if (!check.argumentKnown(line.argument, true))
        return;
    const QString arg = mouseArgument(line.argument);
    if (check.target(arg) != Target::None)
        return;
    QRegularExpressionMatch m;
    if (pointerForm(arg, &m) == PointerForm::None && buttonForm(arg) == ButtonForm::None)
        check.error(QStringLiteral("鼠标参数无法识别(应为 x,y、dx*dy、x,y(dx*dy) 或 左键单击、左键双击、左键按下、左键提起、右键单击)"));
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

KeyRepeat parseKeyRepeat(QString arg, int passNumber)
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
        repeat.count = passNumber;
    }
    return repeat;
}

QString keyboardArgument(QString arg)
{
    return arg.replace(QChar(0xFF08), QLatin1Char('(')).replace(QChar(0xFF09), QLatin1Char(')'));
}

// "+" and "*" alone are keys, not a combination or a count.
bool isPlusOrStar(const QString &arg)
{
    return arg == QLatin1String("+") || arg == QLatin1String("*");
}

QString unknownKeyMessage(const QString &name)
{
    return QStringLiteral("按键无法识别：") + name;
}

} // namespace

LineOutcome cmdKeyboard(CommandContext &ctx, const ScriptLine &line)
{
    QString arg = line.argument;
    if (!ctx.resolveSource(line, arg, true))
        return LineOutcome::Continue;
    arg = keyboardArgument(arg);
    if (isPlusOrStar(arg)) {
        tap(ctx.platform(), keynames::virtualKey(arg));
        return LineOutcome::Continue;
    }

    const KeyRepeat repeat = parseKeyRepeat(arg, ctx.passNumber());
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

void checkKeyboard(LineCheck &check, const ScriptLine &line)
{
    if (!check.argumentKnown(line.argument, true))
        return;
    const QString arg = keyboardArgument(line.argument);
    if (isPlusOrStar(arg))
        return;
    // The pass number only matters for ">>", where it is at least 1 like the count of one pass.
    const KeyRepeat repeat = parseKeyRepeat(arg, 1);
    if (repeat.count < 1) {
        check.warning(QStringLiteral("重复次数小于1，此行不按任何键"));
        return;
    }
    const QStringList names = repeat.keys.split(QLatin1Char('+'), Qt::KeepEmptyParts);
    for (const QString &name : names) {
        if (keynames::virtualKey(names.size() <= 1 ? repeat.keys : name) < 0) {
            check.error(unknownKeyMessage(name));
            return;
        }
    }
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

void checkSingleKey(LineCheck &check, const ScriptLine &line)
{
    if (check.argumentKnown(line.argument, true) && keynames::virtualKey(line.argument) < 0)
        check.error(unknownKeyMessage(line.argument));
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
