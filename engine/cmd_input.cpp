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

} // namespace

LineOutcome cmdMouse(CommandContext &ctx, const ScriptLine &line)
{
    static const QRegularExpression absolute = wholeMatch("(\\d+),(\\d+)");
    static const QRegularExpression relative = wholeMatch("([-+]?\\d+)(>>>)?\\*([-+]?\\d+)(>>>)?");
    static const QRegularExpression fixedPoint
        = wholeMatch("(\\d+),(\\d+)[(（]([-+]?\\d+)(>>>)?\\*([-+]?\\d+)(>>>)?[)）]");

    QString arg = line.argument;
    if (!ctx.resolveSource(line, arg, true))
        return LineOutcome::Continue;
    arg.replace(QChar(0xFF0C), QLatin1Char(',')); // full-width comma

    Platform &platform = ctx.platform();
    const QPoint here = platform.cursorPosition();
    const QString position
        = QString::number(here.x()) + QLatin1Char(',') + QString::number(here.y());

    int n = 0;
    if (numberTarget(arg, &n) || stringTarget(arg, &n)) {
        if (!CommandContext::validIndex(n)) {
            ctx.showLineError(line.text);
            return LineOutcome::Continue;
        }
        if (numberTarget(arg, nullptr))
            ctx.numberVariable(n) = position;
        else
            ctx.stringVariable(n) += position;
        return LineOutcome::Continue;
    }
    if (clipboardTarget(arg)) {
        ctx.setClipboard(position);
        return LineOutcome::Continue;
    }

    QRegularExpressionMatch m = absolute.match(arg);
    if (m.hasMatch()) {
        platform.setCursorPosition(QPoint(toNumber(m.captured(1)), toNumber(m.captured(2))));
        return LineOutcome::Continue;
    }
    const int pass = ctx.passNumber();
    m = relative.match(arg);
    if (m.hasMatch()) {
        platform.setCursorPosition(
            QPoint(offsetCoordinate(here.x(), m.captured(1), m.capturedLength(2) > 0, pass),
                offsetCoordinate(here.y(), m.captured(3), m.capturedLength(4) > 0, pass)));
        return LineOutcome::Continue;
    }
    m = fixedPoint.match(arg);
    if (m.hasMatch()) {
        const int x = toNumber(m.captured(1));
        const int y = toNumber(m.captured(2));
        platform.setCursorPosition(
            QPoint(offsetCoordinate(x, m.captured(3), m.capturedLength(4) > 0, pass),
                offsetCoordinate(y, m.captured(5), m.capturedLength(6) > 0, pass)));
        return LineOutcome::Continue;
    }

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
        ctx.showLineError(line.text);
    }
    return LineOutcome::Continue;
}

LineOutcome cmdKeyboard(CommandContext &ctx, const ScriptLine &line)
{
    static const QRegularExpression extraPause = wholeMatch(".+[(（](.*)[)）]");
    static const QRegularExpression pauseText(
        QStringLiteral("[(（].*[)）]"), QRegularExpression::DotMatchesEverythingOption);
    static const QRegularExpression perPass = wholeMatch(".+(>>)");

    QString arg = line.argument;
    if (!ctx.resolveSource(line, arg, true))
        return LineOutcome::Continue;
    arg.replace(QChar(0xFF08), QLatin1Char('(')).replace(QChar(0xFF09), QLatin1Char(')'));
    Platform &platform = ctx.platform();

    if (arg == QLatin1String("+") || arg == QLatin1String("*")) {
        tap(platform, keynames::virtualKey(arg));
        return LineOutcome::Continue;
    }

    int pause = kKeyPause;
    const QRegularExpressionMatch pm = extraPause.match(arg);
    if (pm.hasMatch()) {
        pause += toNumber(pm.captured(1));
        arg.remove(pauseText);
    }

    QString keys = arg;
    int count = 1;
    const QStringList countParts = arg.split(QLatin1Char('*'), Qt::KeepEmptyParts);
    if (countParts.size() == 2) {
        keys = countParts.at(0);
        count = toNumber(countParts.at(1));
    } else if (countParts.size() == 1 && perPass.match(arg).hasMatch()) {
        keys.remove(QStringLiteral(">>"));
        count = ctx.passNumber();
    }

    const QStringList names = keys.split(QLatin1Char('+'), Qt::KeepEmptyParts);
    for (int i = 0; i < count; ++i) {
        // A stop request (or an error of an earlier repetition) ends the repeat here, so a
        // long repeat never outlasts the run.
        if (i > 0 && !ctx.running())
            break;
        if (names.size() <= 1) {
            const int code = keynames::virtualKey(keys);
            if (code < 0) {
                ctx.showLineError(line.text + kUnknownKey);
                break;
            }
            tap(platform, code);
        } else {
            // Pressed in the written order and released in the same order.
            for (const QString &name : names) {
                const int code = keynames::virtualKey(name);
                if (code < 0) {
                    ctx.showLineError(line.text + kUnknownKey);
                    break;
                }
                platform.keyDown(code);
            }
            for (const QString &name : names) {
                const int code = keynames::virtualKey(name);
                if (code < 0) {
                    ctx.showLineError(line.text + kUnknownKey);
                    break;
                }
                platform.keyUp(code);
            }
        }
        keyPause(ctx, pause);
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
