// The global hotkeys: registration, the hotkey slots' keys and the one dispatch that WM_HOTKEY
// (nativeEvent) and the X11 key grabs (the platform's handler) reach.
#include "app/dialogs.h"
#include "app/hotkeys.h"
#include "app/mainwindow.h"
#include "app/scriptfiles.h"
#include "platform/platform.h"
#include "ui_mainwindow.h"

#include <QClipboard>
#include <QDir>
#include <QGuiApplication>
#include <QVector>

namespace {

struct HotKeyName
{
    const char *atom;
    char key; // virtual-key code of a letter or digit: its upper-case ASCII code
    unsigned modifiers = hotkeys::modControl;
};

constexpr unsigned kCtrlAlt = hotkeys::modControl | hotkeys::modAlt;

// In the order of the window's atoms.
constexpr HotKeyName kHotKeys[hotkeys::atomCount] = {
    {"CtrlM", 'M'},
    {"CtrlQ", 'Q'},
    {"CtrlE", 'E'},
    {"CtrlW", 'W'},
    {"CtrlK", 'K'},
    {"CtrlT", 'T'},
    {"Ctrl_1", '1'},
    {"Ctrl_2", '2'},
    {"Ctrl_3", '3'},
    {"Ctrl_4", '4'},
    {"Ctrl_5", '5'},
    {"Ctrl_6", '6'},
    {"Ctrl_7", '7'},
    {"Ctrl_8", '8'},
    {"Ctrl_9", '9'},
    {"Ctrl_0", '0'},
    {"CtrlAltR", 'R', kCtrlAlt},
};
enum : int { AtomM, AtomQ, AtomE, AtomW, AtomK, AtomT, AtomR = 16 };

// Atom index of slot digit 1 … 9, 0.
int slotIndex(int digit)
{
    return digit == 0 ? 15 : 5 + digit;
}

QString keyText(int index)
{
    const QString modifiers = kHotKeys[index].modifiers == kCtrlAlt ? QStringLiteral("Ctrl+Alt+")
                                                                    : QStringLiteral("Ctrl+");
    return modifiers + QLatin1Char(kHotKeys[index].key);
}

} // namespace

bool MainWindow::addAndRegisterHotKey(int index)
{
    quint16 &atom = m_hotKeyAtoms[index];
    atom = m_platform.globalAddAtom(kHotKeys[index].atom);
    m_hotKeyRegistered[index] = atom != 0
        && m_platform.registerHotKey(
            winId(), atom, kHotKeys[index].modifiers, unsigned(kHotKeys[index].key));
    return m_hotKeyRegistered[index];
}

QVector<recording::HotKey> MainWindow::registeredHotKeys() const
{
    QVector<recording::HotKey> keys;
    for (int index = 0; index < hotkeys::atomCount; ++index) {
        if (m_hotKeyAtoms[index] != 0 && m_hotKeyRegistered[index])
            keys.append({kHotKeys[index].modifiers, kHotKeys[index].key});
    }
    return keys;
}

void MainWindow::hotKeyPressed(void *window, unsigned modifiers, unsigned virtualKey)
{
    static_cast<MainWindow *>(window)->dispatchHotKey(modifiers, virtualKey);
}

void MainWindow::registerFixedHotKeys()
{
    m_platform.setHotKeyHandler(&MainWindow::hotKeyPressed, this);
    for (int index : {AtomM, AtomQ, AtomE, AtomW, AtomK, AtomR}) {
        if (!addAndRegisterHotKey(index))
            m_unavailableHotKeys << keyText(index);
    }
}

void MainWindow::registerStartUpSlotHotKeys(const QVector<int> &digits)
{
    for (int digit : digits) {
        if (!addAndRegisterHotKey(slotIndex(digit)))
            m_unavailableHotKeys << keyText(slotIndex(digit));
    }
    // Start-up is the one moment a key can silently be missing; the note stays until the
    // status line shows something else.
    if (!m_unavailableHotKeys.isEmpty())
        showUnavailableHotKeys(m_unavailableHotKeys);
}

void MainWindow::registerFileStartHotKey()
{
    // No window is shown in this mode, so a key that cannot be had is not reported.
    m_platform.setHotKeyHandler(&MainWindow::hotKeyPressed, this);
    addAndRegisterHotKey(AtomT);
}

void MainWindow::releaseHotKeys()
{
    m_platform.setHotKeyHandler(nullptr, nullptr);
    // Unregistered before the atoms go, so the keys are free again (X11 holds its grabs for
    // the connection, not for the window).
    QVector<int> order {AtomT};
    if (!m_process.fileStartMode) {
        order = {AtomM, AtomE, AtomQ, AtomK, AtomW, AtomR};
        for (int digit : hotkeys::slotDigits)
            order << slotIndex(digit);
    }
    for (int index : qAsConst(order))
        releaseHotKey(index);
}

void MainWindow::suspendHotKeys()
{
    m_suspendedHotKeys.clear();
    for (int index = 0; index < hotkeys::atomCount; ++index) {
        if (m_hotKeyAtoms[index] != 0)
            m_suspendedHotKeys << index;
    }
    releaseHotKeys();
}

void MainWindow::resumeHotKeys()
{
    m_platform.setHotKeyHandler(&MainWindow::hotKeyPressed, this);
    for (int index : qAsConst(m_suspendedHotKeys))
        addAndRegisterHotKey(index);
    m_suspendedHotKeys.clear();
}

void MainWindow::releaseHotKey(int index)
{
    quint16 &atom = m_hotKeyAtoms[index];
    if (atom == 0)
        return; // never added, or already deleted with its slot
    m_platform.unregisterHotKey(winId(), atom);
    m_platform.globalDeleteAtom(atom);
    m_hotKeyRegistered[index] = false;
    // Deleting it once more later could hit an atom that the value names by then.
    atom = 0;
}

void MainWindow::showUnavailableHotKeys(const QStringList &keys)
{
    ui->lb_ShowDisposingFile->setText(hotkeys::unavailableNote(keys));
}

void MainWindow::enableSlotHotKey(int digit)
{
    const int index = slotIndex(digit);
    if (!addAndRegisterHotKey(index))
        showUnavailableHotKeys({keyText(index)});
}

void MainWindow::disableSlotHotKey(int digit)
{
    releaseHotKey(slotIndex(digit));
}

bool MainWindow::nativeEvent(const QByteArray &eventType, void *message, long *result)
{
    unsigned modifiers = 0;
    unsigned virtualKey = 0;
    if (!m_platform.hotKeyOfMessage(eventType, message, &modifiers, &virtualKey))
        return QMainWindow::nativeEvent(eventType, message, result);
    dispatchHotKey(modifiers, virtualKey);
    *result = 0;
    return true;
}

void MainWindow::dispatchHotKey(unsigned modifiers, unsigned virtualKey)
{
    const QPoint position = m_platform.cursorPosition();
    if (modifiers == kCtrlAlt && virtualKey == 'R') {
        toggleRecording();
        return;
    }
    // Otherwise only Ctrl alone is acted on; any other combination that reaches here is
    // swallowed.
    if (modifiers != hotkeys::modControl)
        return;

    if (virtualKey >= '0' && virtualKey <= '9') {
        runSlotScript(int(virtualKey - '0'));
        return;
    }
    switch (virtualKey) {
    case 'E':
        // A disabled button (a run goes on) ignores the click.
        ui->pBtn_ExecuteInstruction->click();
        break;
    case 'W':
        if (ui->pBtn_ExecuteInstruction->isEnabled()) {
            ExecuteInstructions(hotkeys::clipboardScript(
                QGuiApplication::clipboard()->text(QClipboard::Clipboard)));
        }
        break;
    case 'Q':
        on_signal_ExecuteInstructionFinish();
        // Stopping a recording says how it went in the status line itself.
        if (isRecording())
            stopRecording();
        else
            ui->lb_ShowDisposingFile->setText(runHintText());
        break;
    case 'T':
        on_signal_ExecuteInstructionFinish();
        break;
    case 'K':
        ShowSoftWindow();
        // Typing the name must land in the field, also when the settings page was left open.
        ui->tabWidget->setCurrentWidget(ui->wgt_AddToTab1);
        quickRun()->focusNameField();
        break;
    case 'M':
        insertMouseCoordinates(position);
        break;
    default:
        break;
    }
}

void MainWindow::runSlotScript(int digit)
{
    // The field as it stands, also a path typed by hand and not saved.
    const QString path
        = QDir::toNativeSeparators(existingScriptFile(hotKeySlots()->slotScript(digit)));
    if (!m_platform.fileExists(path)) {
        dialogs::about(this, QStringLiteral("注意："), QStringLiteral("文件不存在!"));
        return;
    }
    // Read whole like the quick-run field, so a long script never runs cut off mid-line.
    bool tooLarge = false;
    const QString text = readWholeScriptFile(path, &tooLarge);
    if (tooLarge) {
        dialogs::about(this, QStringLiteral("注意："), QStringLiteral("文件过大!"));
        return;
    }
    ExecuteInstructions(text);
}

void MainWindow::insertMouseCoordinates(const QPoint &position)
{
    QTextEdit *edit = ui->tEdt_ExecuteText;
    const QTextCursor cursor = edit->textCursor();
    // The selection is replaced, so the characters around it are those left once it is gone.
    const int start = cursor.selectionStart();
    const int end = cursor.selectionEnd();
    const QString plain = edit->toPlainText();
    const int from = qMax(0, start - 4);
    const QString before = plain.mid(from, start - from);
    const QString after = plain.mid(end, 1);
    edit->insertPlainText(hotkeys::mouseInsertion(
        before, after, position, builder()->addsDelays(), builder()->delayMsec()));
}
