// The conversion of recorded events into script lines: which events make which action. The
// words of the lines are in recording_lines.cpp, typed text in recording_paste.cpp.
#include "engine/recording.h"
#include "engine/recording_detail.h"

#include <QHash>

#include <optional>

namespace recording {

using namespace detail;

namespace {

const QString kMouse = QStringLiteral("鼠标->");
const QString kKeyboard = QStringLiteral("键盘->");

bool samePlace(const QPoint &a, const QPoint &b)
{
    return qAbs(a.x() - b.x()) <= samePlacePixels && qAbs(a.y() - b.y()) <= samePlacePixels;
}

// The absolute form takes no sign; a point left of or above the primary screen is written as
// an offset from its corner.
QString positionText(const QPoint &p)
{
    if (p.x() >= 0 && p.y() >= 0)
        return QStringLiteral("%1,%2").arg(p.x()).arg(p.y());
    return QStringLiteral("0,0(%1*%2)").arg(p.x()).arg(p.y());
}

QString pointText(const QPoint &p)
{
    return QStringLiteral("(%1,%2)").arg(p.x()).arg(p.y());
}

// A key as the recording tells it apart: by its code, or by its name when it has none.
QString keyIdentity(const InputEvent &e)
{
    return e.virtualKey >= 0 ? QString::number(e.virtualKey) : QLatin1Char('n') + e.keyName;
}

// What a key types, without control characters: a system that reports "\r" for Enter or "\b"
// for Backspace still has them written as keys.
QString typedText(const QString &text)
{
    QString typed;
    for (const QChar c : text) {
        if (c.category() != QChar::Other_Control)
            typed += c;
    }
    return typed;
}

// "+" and "*" would be read as the combination and the count themselves.
bool breaksCombination(const QString &name)
{
    return name == QLatin1String("+") || name == QLatin1String("*");
}

// A count after "/" would open a block comment ("/*3").
bool breaksCount(const QString &name)
{
    return breaksCombination(name) || name == QLatin1String("/");
}

class Recorder
{
public:
    explicit Recorder(const Options &options)
        : m_options(options)
    {
    }
    void feed(const InputEvent &e);
    QVector<Action> finish();

private:
    struct HeldKey
    {
        int virtualKey = -1;
        unsigned modifier = 0; // its modifier bit, 0 for other keys
        bool alone = true; // a modifier that no key or click has gone with yet
        bool hotKey = false; // served one of the program's hotkeys
        bool written = false; // a modifier written as 按下, so the replay holds it too
    };
    struct Press
    {
        QPoint at;
        qint64 time = 0;
    };
    struct LastClick
    {
        QPoint at;
        qint64 downTime = 0;
        int action = -1;
    };
    // The last key line, which a repeat of its key counts up.
    struct LastKey
    {
        QString identity;
        QString keys;
        int count = 0;
        int action = -1;
    };

    void keyDown(const InputEvent &e);
    void keyUp(const InputEvent &e);
    void buttonDown(const InputEvent &e);
    void buttonUp(const InputEvent &e);

    unsigned heldModifiers() const;
    QVector<int> modifierKeys(bool (*which)(const HeldKey &)) const;
    bool isOwnHotKey(int virtualKey) const;
    void serveHotKey(const QString &identity);
    void goWithModifiers();

    void type(const QString &text, qint64 time);
    bool takeBack(qint64 time);
    void closeRun();
    void pressKey(const InputEvent &e, bool repeat);
    void keyLine(const InputEvent &e, const QString &keys, bool countable, bool repeat);
    void pressAroundKey(const InputEvent &e, const QString &name, const QVector<int> &modifiers);
    void releaseModifier(const HeldKey &key, qint64 time);

    void holdModifiersForClick(qint64 time);
    void leftClick(const Press &press, qint64 upTime);
    void leftDrag(const Press &press, const InputEvent &up);
    void otherClick(const Press &press, const InputEvent &up);
    void movePointer(QStringList &lines, const QPoint &to);

    int add(const QStringList &lines, qint64 start, qint64 end);
    void comment(const QString &text);

    const Options &m_options;
    QVector<Action> m_actions;
    QHash<QString, HeldKey> m_held;
    QHash<int, Press> m_pressed; // buttons down, by number
    std::optional<QPoint> m_pointer; // where the lines so far leave the pointer
    std::optional<LastClick> m_lastClick;
    LastKey m_lastKey;
    QString m_run; // typed text not yet written
    bool m_runOpen = false;
    qint64 m_runStart = 0;
    qint64 m_runEnd = 0;
    qint64 m_lastTime = 0;
};

void Recorder::feed(const InputEvent &e)
{
    m_lastTime = e.timeMs;
    switch (e.kind) {
    case InputEvent::KeyDown:
        keyDown(e);
        break;
    case InputEvent::KeyUp:
        keyUp(e);
        break;
    case InputEvent::ButtonDown:
        buttonDown(e);
        break;
    case InputEvent::ButtonUp:
        buttonUp(e);
        break;
    }
}

int Recorder::add(const QStringList &lines, qint64 start, qint64 end)
{
    m_actions.append(Action {lines, start, end, true});
    return m_actions.size() - 1;
}

void Recorder::comment(const QString &text)
{
    m_actions.append(Action {{commentLine(text)}, 0, 0, false});
}

// --- keys ---

unsigned Recorder::heldModifiers() const
{
    unsigned bits = 0;
    for (const HeldKey &key : m_held)
        bits |= key.modifier;
    return bits;
}

QVector<int> Recorder::modifierKeys(bool (*which)(const HeldKey &)) const
{
    QVector<int> keys;
    for (const HeldKey &key : m_held) {
        if (key.modifier && which(key))
            keys << key.virtualKey;
    }
    return keys;
}

bool Recorder::isOwnHotKey(int virtualKey) const
{
    const unsigned modifiers = heldModifiers();
    for (const HotKey &hotKey : m_options.ownHotKeys) {
        if (hotKey.virtualKey == virtualKey && hotKey.modifiers == modifiers)
            return true;
    }
    return false;
}

// The hotkey's key and the modifiers held for it write nothing, now or at their release.
void Recorder::serveHotKey(const QString &identity)
{
    m_held[identity].hotKey = true;
    for (HeldKey &key : m_held) {
        if (key.modifier) {
            key.hotKey = true;
            key.alone = false;
        }
    }
}

// A key or click goes with the modifiers held: they are no key of their own any more.
void Recorder::goWithModifiers()
{
    for (HeldKey &key : m_held)
        key.alone = false;
}

void Recorder::keyDown(const InputEvent &e)
{
    const QString identity = keyIdentity(e);
    const bool repeat = m_held.contains(identity);
    if (!repeat)
        m_held.insert(identity, HeldKey {e.virtualKey, modifierBit(e.virtualKey)});
    const HeldKey key = m_held.value(identity);
    if (key.hotKey || (repeat && key.modifier))
        return;
    if (e.virtualKey >= 0 && isOwnHotKey(e.virtualKey)) {
        serveHotKey(identity);
        return;
    }
    if (key.modifier)
        return; // decided by what goes with it, or at its release
    goWithModifiers();
    const bool command = heldModifiers() & (CtrlBit | AltBit | WinBit);
    const QString text = command ? QString() : typedText(e.text);
    if (!text.isEmpty())
        type(text, e.timeMs);
    else if (command || e.virtualKey != kBackspace || !takeBack(e.timeMs))
        pressKey(e, repeat);
}

void Recorder::keyUp(const InputEvent &e)
{
    const auto it = m_held.find(keyIdentity(e));
    if (it == m_held.end())
        return; // pressed before the recording began
    const HeldKey key = *it;
    m_held.erase(it);
    if (key.modifier)
        releaseModifier(key, e.timeMs);
}

void Recorder::type(const QString &text, qint64 time)
{
    if (!m_runOpen) {
        m_runOpen = true;
        m_run.clear();
        m_runStart = time;
    }
    m_run += text;
    m_runEnd = time;
}

// Backspace in an open run that still holds text: the last character was never meant.
bool Recorder::takeBack(qint64 time)
{
    if (!m_runOpen || m_run.isEmpty())
        return false;
    const bool pair = m_run.size() >= 2 && m_run.at(m_run.size() - 1).isLowSurrogate()
        && m_run.at(m_run.size() - 2).isHighSurrogate();
    m_run.chop(pair ? 2 : 1);
    m_runEnd = time;
    return true;
}

void Recorder::closeRun()
{
    if (m_runOpen && !m_run.isEmpty())
        add(pasteLines(m_run), m_runStart, m_runEnd);
    m_runOpen = false;
    m_run.clear();
}

// A key that types nothing, or goes with Ctrl, Alt or the logo key: with every modifier held
// that the replay does not hold already.
void Recorder::pressKey(const InputEvent &e, bool repeat)
{
    closeRun();
    const QVector<int> modifiers = modifierKeys([](const HeldKey &k) { return !k.written; });
    const QStringList names = modifierNames(modifiers);
    const QString name = keyName(e.virtualKey);
    if (name.isEmpty()) {
        if (!repeat) {
            const QString key = !e.keyName.isEmpty() ? e.keyName
                : e.virtualKey >= 0                  ? QStringLiteral("VK %1").arg(e.virtualKey)
                                                     : QStringLiteral("?");
            comment(QStringLiteral("无法录制的按键：")
                + (names + QStringList {key}).join(QLatin1Char('+')));
        }
        return;
    }
    if (breaksCombination(name) && !names.isEmpty()) {
        pressAroundKey(e, name, modifiers);
        return;
    }
    keyLine(e, (names + QStringList {name}).join(QLatin1Char('+')), !breaksCount(name), repeat);
}

void Recorder::keyLine(const InputEvent &e, const QString &keys, bool countable, bool repeat)
{
    const QString identity = keyIdentity(e);
    if (repeat && countable && m_lastKey.identity == identity && m_lastKey.keys == keys
        && m_lastKey.action == m_actions.size() - 1) {
        Action &last = m_actions.last();
        last.lines.last() = kKeyboard + keys + QStringLiteral("*%1").arg(++m_lastKey.count);
        last.end = e.timeMs;
        return;
    }
    const int action = add({kKeyboard + keys}, e.timeMs, e.timeMs);
    m_lastKey = LastKey {identity, keys, 1, action};
}

// "+" and "*" cannot stand in a combination: the modifiers are held around the key instead.
void Recorder::pressAroundKey(
    const InputEvent &e, const QString &name, const QVector<int> &modifiers)
{
    const QStringList names = modifierNames(modifiers);
    QStringList lines;
    for (const QString &modifier : names)
        lines << QStringLiteral("按下->") + modifier;
    lines << kKeyboard + name;
    for (auto it = names.crbegin(); it != names.crend(); ++it)
        lines << QStringLiteral("抬起->") + *it;
    add(lines, e.timeMs, e.timeMs);
}

void Recorder::releaseModifier(const HeldKey &key, qint64 time)
{
    if (key.written) {
        add({QStringLiteral("抬起->") + keyName(key.virtualKey)}, time, time);
        return;
    }
    if (!key.alone || key.hotKey)
        return;
    // Pressed and released with nothing else: a key of its own, together with the other
    // modifiers held with it alone (Ctrl+Shift switches the layout on some desktops).
    QVector<int> together = modifierKeys([](const HeldKey &k) { return k.alone && !k.hotKey; });
    for (HeldKey &other : m_held) {
        if (other.modifier)
            other.alone = false;
    }
    together << key.virtualKey;
    closeRun();
    add({kKeyboard + modifierNames(together).join(QLatin1Char('+'))}, time, time);
}

// --- mouse ---

void Recorder::buttonDown(const InputEvent &e)
{
    closeRun();
    if (e.button == 1 || e.button == 3)
        holdModifiersForClick(e.timeMs);
    goWithModifiers();
    m_pressed.insert(e.button, Press {e.position, e.timeMs});
}

// Modifiers held for a click (Shift to extend a selection, Ctrl to add to it) are held by the
// replay as well, from before the click to their release.
void Recorder::holdModifiersForClick(qint64 time)
{
    const QVector<int> keys = modifierKeys([](const HeldKey &k) { return !k.written; });
    if (keys.isEmpty())
        return;
    QStringList lines;
    for (const QString &name : modifierNames(keys))
        lines << QStringLiteral("按下->") + name;
    for (HeldKey &key : m_held) {
        if (key.modifier)
            key.written = true;
    }
    add(lines, time, time);
}

void Recorder::buttonUp(const InputEvent &e)
{
    const auto it = m_pressed.find(e.button);
    if (it == m_pressed.end())
        return; // went down before the recording began
    const Press press = *it;
    m_pressed.erase(it);
    if (e.button != 1)
        otherClick(press, e);
    else if (samePlace(press.at, e.position))
        leftClick(press, e.timeMs);
    else
        leftDrag(press, e);
}

void Recorder::movePointer(QStringList &lines, const QPoint &to)
{
    if (m_pointer != to)
        lines << kMouse + positionText(to);
    m_pointer = to;
}

void Recorder::leftClick(const Press &press, qint64 upTime)
{
    const int lastAction = m_actions.size() - 1;
    if (m_lastClick && m_lastClick->action == lastAction && samePlace(m_lastClick->at, press.at)
        && press.time - m_lastClick->downTime <= m_options.doubleClickMs) {
        m_actions.last().lines.last() = kMouse + QStringLiteral("左键双击");
        m_actions.last().end = upTime;
        m_lastClick.reset(); // a third click is a click of its own
        return;
    }
    QStringList lines;
    movePointer(lines, press.at);
    lines << kMouse + QStringLiteral("左键单击");
    m_lastClick = LastClick {press.at, press.time, add(lines, press.time, upTime)};
}

// Each end of a drag is an action of its own, so the pause of the drag itself is kept.
void Recorder::leftDrag(const Press &press, const InputEvent &up)
{
    QStringList downLines;
    movePointer(downLines, press.at);
    add(downLines << kMouse + QStringLiteral("左键按下"), press.time, press.time);
    QStringList upLines;
    movePointer(upLines, up.position);
    add(upLines << kMouse + QStringLiteral("左键提起"), up.timeMs, up.timeMs);
}

void Recorder::otherClick(const Press &press, const InputEvent &up)
{
    const int button = up.button;
    const QPoint &upAt = up.position;
    if (button == 3 && samePlace(press.at, upAt)) {
        QStringList lines;
        movePointer(lines, press.at);
        add(lines << kMouse + QStringLiteral("右键单击"), press.time, up.timeMs);
        return;
    }
    QString what = button == 2 ? QStringLiteral("中键单击 ")
        : button == 3          ? QStringLiteral("右键拖动 ")
                               : QStringLiteral("鼠标按键%1单击 ").arg(button);
    what += pointText(press.at);
    if (!samePlace(press.at, upAt))
        what += QStringLiteral("→") + pointText(upAt);
    comment(what + QStringLiteral("：脚本中没有对应的指令"));
}

QVector<Action> Recorder::finish()
{
    closeRun();
    const auto left = m_pressed.constFind(1);
    if (left != m_pressed.cend()) {
        QStringList lines {commentLine(QStringLiteral("录制结束时左键仍按着"))};
        movePointer(lines, left->at);
        add(lines << kMouse + QStringLiteral("左键按下"), left->time, left->time);
    }
    // Modifiers held for a click are let go at the end even when the recording stopped before
    // their release: a replay must not leave keys held.
    for (const QString &name :
        modifierNames(modifierKeys([](const HeldKey &k) { return k.written; })))
        add({QStringLiteral("抬起->") + name}, m_lastTime, m_lastTime);
    return m_actions;
}

} // namespace

QStringList linesOf(const QVector<InputEvent> &events, const Options &options)
{
    Recorder recorder(options);
    for (const InputEvent &e : events)
        recorder.feed(e);
    return withPauses(recorder.finish(), options);
}

} // namespace recording
