// The words of recorded lines: key names, modifier order, comments and pauses.
#include "engine/keynames.h"
#include "engine/recording_detail.h"

#include <QHash>

#include <limits>
#include <optional>

namespace recording::detail {

namespace {

constexpr int kShift = 16;
constexpr int kCtrl = 17;
constexpr int kAlt = 18;
constexpr int kLeftWin = 91;
constexpr int kRightWin = 92;

// The left and right codes of Shift, Ctrl and Alt (VK_LSHIFT … VK_RMENU) as the generic one.
int genericKey(int virtualKey)
{
    switch (virtualKey) {
    case 160:
    case 161:
        return kShift;
    case 162:
    case 163:
        return kCtrl;
    case 164:
    case 165:
        return kAlt;
    default:
        return virtualKey;
    }
}

bool beginsWithCapital(const QString &name)
{
    return !name.isEmpty() && name.at(0).isUpper();
}

const QHash<int, QString> &namesByKey()
{
    static const QHash<int, QString> names = [] {
        QHash<int, QString> byKey;
        for (const QString &name : keynames::allNames()) {
            const int code = keynames::virtualKey(name);
            if (!byKey.contains(code)
                || (beginsWithCapital(name) && !beginsWithCapital(byKey[code])))
                byKey.insert(code, name);
        }
        return byKey;
    }();
    return names;
}

} // namespace

unsigned modifierBit(int virtualKey)
{
    switch (genericKey(virtualKey)) {
    case kShift:
        return ShiftBit;
    case kCtrl:
        return CtrlBit;
    case kAlt:
        return AltBit;
    case kLeftWin:
    case kRightWin:
        return WinBit;
    default:
        return 0;
    }
}

QString keyName(int virtualKey)
{
    return namesByKey().value(genericKey(virtualKey));
}

QStringList modifierNames(const QVector<int> &heldModifierKeys)
{
    QStringList names;
    for (const unsigned bit : {CtrlBit, ShiftBit, AltBit, WinBit}) {
        std::optional<int> key;
        for (const int held : heldModifierKeys) {
            // Of both logo keys held, the left one names the pair.
            if (modifierBit(held) == bit && (!key || held < *key))
                key = held;
        }
        if (key)
            names << keyName(*key);
    }
    return names;
}

QString commentLine(const QString &text)
{
    QString safe;
    safe.reserve(text.size() + 8);
    for (const QChar c : text) {
        if (c == QLatin1Char('\n') || c == QLatin1Char('\r'))
            safe += QLatin1Char(' ');
        else if (c == QLatin1Char('#')) // "#[" opens a block comment, "#insert" reads a file
            safe += QChar(0xFF03);
        else if ((c == QLatin1Char('*') && safe.endsWith(QLatin1Char('/')))
            || (c == QLatin1Char('/') && safe.endsWith(QLatin1Char('*'))))
            safe += QLatin1Char(' ') + c;
        else
            safe += c;
    }
    return QStringLiteral("// ") + safe;
}

namespace {

int pauseMs(qint64 gap, const Options &options)
{
    const int ms = int(qBound<qint64>(0, gap, std::numeric_limits<int>::max() - 50));
    switch (options.delays) {
    case Options::Delays::AsRecorded:
        return ms >= shortestRecordedPauseMs ? ms : 0;
    case Options::Delays::Rounded:
        return (ms + 50) / 100 * 100;
    case Options::Delays::Fixed:
        return options.fixedDelayMs;
    }
    return 0;
}

} // namespace

QStringList withPauses(const QVector<Action> &actions, const Options &options)
{
    QStringList lines;
    std::optional<qint64> previousEnd;
    for (const Action &action : actions) {
        if (action.timed) {
            const int ms = previousEnd ? pauseMs(action.start - *previousEnd, options) : 0;
            if (ms > 0)
                lines << QStringLiteral("延时->") + QString::number(ms);
            previousEnd = action.end;
        }
        lines << action.lines;
    }
    return lines;
}

} // namespace recording::detail
