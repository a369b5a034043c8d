#pragma once

#include "app/processstate.h"
#include "engine/instructionthread.h"

#include <QMainWindow>
#include <QSystemTrayIcon>

namespace Ui {
class MainWindow;
}
class Platform;
class QCheckBox;
class QLineEdit;
class SystemTray;

// Window geometry saved with its button and restored by ShowSoftWindow.
struct SavedGeometry
{
    int x = 0;
    int y = 0;
    int width = 0;
    int height = 0;
};

class MainWindow : public QMainWindow
{
    Q_OBJECT

public:
    MainWindow(const ProcessState &process, Platform &platform, QWidget *parent = nullptr);
    ~MainWindow() override;

    // Every run passes through here: prepares the text and starts the interpreter.
    void ExecuteInstructions(QString text);

    QInstructionThread &instructionThread() { return thread; }
    const ProcessState &process() const { return m_process; }
    SystemTray *systemTray() const { return m_tray; }
    const QByteArray &settingsBuffer() const { return m_settingsBuffer; }

    // Receivers of the interpreter's signals, connected by run control. They are plain member
    // functions so the form's connection by name does not look for widgets behind them.
    void on_ShowDisposingFile(QString text);
    void on_ClipboardSetText(QString text);
    void on_Signal_RefreshInstructions();
    void on_signal_ExecuteInstructionFinish();
    void on_Signal_StepNum(int sNum);

public slots:
    void ShowSoftWindow();
    void SystemTrayActivated(QSystemTrayIcon::ActivationReason reason);
    void SaveZtFile();

    void on_pBtn_ExecuteInstruction_clicked();
    void on_cBox_ExecuteAtOnce_clicked();
    void on_pBtn_FixedSoftPosition_clicked();
    void on_pBtn_ExplainTxt_clicked();

    // --- Editor display and editing aids (app/editor*) ---
    // --- end editor ---

    // --- Script files and quick-run (app/scriptfiles*) ---
    // --- end script files ---

    // --- Instruction builder panel (builder/) ---
    // --- end builder ---

    // --- CSV quick record and lookup (csv/) ---
    // --- end CSV quick tools ---

    // --- CSV table editor (csv/) ---
    // --- end CSV table ---

    // --- Hotkeys (app/hotkeys*) ---
    // --- end hotkeys ---

    // --- Autostart and association (app/autostart*) ---
    // --- end autostart ---

protected:
    void closeEvent(QCloseEvent *event) override;

private:
    void startRun(const QString &text);
    void startPendingRunWhenIdle();
    QString clipboardTextForInterpreter();

    QByteArray setting(const char *key) const;
    void writeSetting(const char *key, const QString &value);
    void setStandardTitle();
    void setResellerTitle(const QString &name);
    void fillScriptList();
    void applySettings();

    // One row of the hotkey-slot group: digit 1 … 9, 0.
    QCheckBox *slotCheckBox(int digit) const;
    QLineEdit *slotField(int digit) const;

    // The thread is constructed before the form, and destroyed after it.
    QInstructionThread thread;
    Ui::MainWindow *ui;
    ProcessState m_process;
    Platform &m_platform;
    int screenWidth = 0;
    int screenHeight = 0;
    int designHeight = 0;
    int designWidth = 0;

    SystemTray *m_tray = nullptr; // null in file-start mode
    QByteArray m_settingsBuffer; // the settings file as read once at start-up
    SavedGeometry m_savedGeometry;
    QString m_currentScriptPath; // the script last loaded from the list
    bool m_finalMessageShown = false; // file-start mode: the one message box is up

    // Members of the subsystems, each in its own block like the slots above.
    // --- editor members ---
    // --- end editor members ---
    // --- builder members ---
    // --- end builder members ---
    // --- CSV members ---
    // --- end CSV members ---
    // --- hotkey members ---
    // --- end hotkey members ---

    // A run asked for while the previous one still finishes its last line.
    bool m_hasPendingRun = false;
    QString m_pendingRun;
};

// The help file: the settings path with its last ".qcf" replaced by "Explain.txt".
QString helpFilePath(const QString &settingsPath);

// Leading decimal number of a settings value (C's atoi: blanks, sign, digits; 0 otherwise).
int leadingNumber(const QByteArray &value);
