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
    void showRunHint();

public slots:
    void ShowSoftWindow();
    void SystemTrayActivated(QSystemTrayIcon::ActivationReason reason);
    void SaveZtFile();

    void on_pBtn_ExecuteInstruction_clicked();
    void on_cBox_ExecuteAtOnce_clicked();
    void on_pBtn_FixedSoftPosition_clicked();
    void on_pBtn_ExplainTxt_clicked();

    // --- Editor display and editing aids (app/editor*) ---
    void on_tEdt_ExecuteText_textChanged();

public:
    // Shows plain script text coloured in the editor; the change slot stays out of it.
    void RenderScript(class QTextEdit *editor, const QString &text);
    // Starts the undo history over with what the editor shows (after a file is loaded).
    void ResetUndoHistory();
    // The script editor's keys: undo, redo, comment-out, Tab and auto-indent.
    bool eventFilter(QObject *watched, QEvent *event) override;

public slots:
    // --- end editor ---

    // --- Script files and quick-run (app/scriptfiles*) ---
    void on_cmBox_LoadInstruction_activated(const QString &name);
    void on_pBtn_InstructionSaveAs_clicked();
    void on_lEdt_RunZtFile_returnPressed();
    void on_pBtn_KeyToPerform_1_clicked();
    void on_pBtn_KeyToPerform_2_clicked();
    void on_pBtn_KeyToPerform_3_clicked();
    void on_pBtn_KeyToPerform_4_clicked();
    void on_pBtn_KeyToPerform_5_clicked();
    void on_pBtn_KeyToPerform_6_clicked();
    void on_pBtn_KeyToPerform_7_clicked();
    void on_pBtn_KeyToPerform_8_clicked();
    void on_pBtn_KeyToPerform_9_clicked();
    void on_pBtn_KeyToPerform_0_clicked();

private:
    void chooseSlotScript(int digit);

public slots:
    // --- end script files ---

    // --- Instruction builder panel (builder/) ---
    void on_pBtn_MouseLeftDoubleClick_clicked();
    void on_pBtn_MouseLeftClick_clicked();
    void on_pBtn_MouseLeftDown_clicked();
    void on_pBtn_MouseLeftUp_clicked();
    void on_pBtn_MouseRightClick_clicked();
    void on_pBtn_ImageRecognition_clicked();
    void on_pBtn_MouseOffset_clicked();
    void on_pBtn_DisplayDesktop_clicked();
    void on_pBtn_CloseWindow_clicked();
    void on_pBtn_MinimizeWindow_clicked();
    void on_pBtn_MaximizeWindow_clicked();
    void on_pBtn_Keyboard_clicked();
    void on_pBtn_CtrlC_clicked();
    void on_pBtn_CtrlX_clicked();
    void on_pBtn_CtrlV_clicked();
    void on_pBtn_CtrlS_clicked();
    void on_pBtn_CtrlF_clicked();
    void on_pBtn_CtrlA_clicked();
    void on_pBtn_AltTab_clicked();
    void on_pBtn_CtrlP_clicked();
    void on_pBtn_NextStep_clicked();
    void on_pBtn_KeyDown_clicked();
    void on_pBtn_KeyUp_clicked();
    void on_pBtn_KeyLeft_clicked();
    void on_pBtn_KeyRight_clicked();
    void on_pBtn_KeyF5_clicked();
    void on_pBtn_KeyEnter_clicked();
    void on_pBtn_KeyBackspace_clicked();
    void on_pBtn_KeyDel_clicked();
    void on_pBtn_KeyF2_clicked();
    void on_pBtn_MsecSleep_clicked();
    void on_pBtn_ExecuteTime_clicked();
    void on_pBtn_InputText_clicked();
    void on_pBtn_OpenUrl_clicked();
    void on_pBtn_LocalLoop_clicked();
    void on_pBtn_CopyIfElse_clicked();
    void on_pBtn_ChuanCompare_clicked();
    void on_pBtn_LoopRecognition_clicked();
    void on_pBtn_RecognitionIfElse_clicked();
    void on_pBtn_Shutdown_clicked();
    void on_pBtn_KillProcess_clicked();
    void on_pBtn_AdslConnect_clicked();
    void on_pBtn_AdslDisconnect_clicked();
    void on_cBox_AutoAddMSleep_clicked();
    void on_sBox_MsecSleep_valueChanged(int value);
    // --- end builder ---

    // --- CSV quick record and lookup (csv/) ---
    void on_pBtn_SaveToCsvFileSelect_clicked();
    void on_lEdt_SaveToCsvFileSelect_textChanged(const QString &text);
    void on_pBtn_SaveToCsv_clicked();
    void on_pBtn_SearchFromCsvFileSelect_clicked();
    void on_lEdt_SearchFromCsvFileSelect_textChanged(const QString &text);
    void on_lEdt_CsvFirstCol_returnPressed();
    void on_cBox_AutoClearCsvFirstCol_clicked();
    void on_cBox_CsvContentAutoCopy_clicked();
    // --- end CSV quick tools ---

    // --- CSV table editor (csv/) ---
    void RefreshData();
    void on_pBtn_RefreshCsvData_clicked();
    void on_tabWidget_tabBarClicked(int index);
    void on_pBtn_CsvFilePath_clicked();
    void on_lEdt_CsvFilePath_textChanged(const QString &text);
    void on_cBox_AutoSaveToCsvFile_clicked();
    void on_tblW_Csv_cellChanged(int row, int column);
    void on_pBtn_SaveToCsvFile_clicked();
    void on_pBtn_InsertRow_clicked();
    void on_pBtn_InsertCol_clicked();
    void on_pBtn_RemoveRow_clicked();
    void on_pBtn_RemoveCol_clicked();
    // --- end CSV table ---

    // --- Hotkeys (app/hotkeys*) ---
    // Enable or disable one hotkey slot: register or unregister at once, write the setting.
    void on_cBox_KeyToPerform_1_clicked();
    void on_cBox_KeyToPerform_2_clicked();
    void on_cBox_KeyToPerform_3_clicked();
    void on_cBox_KeyToPerform_4_clicked();
    void on_cBox_KeyToPerform_5_clicked();
    void on_cBox_KeyToPerform_6_clicked();
    void on_cBox_KeyToPerform_7_clicked();
    void on_cBox_KeyToPerform_8_clicked();
    void on_cBox_KeyToPerform_9_clicked();
    void on_cBox_KeyToPerform_0_clicked();

public:
    // The one routine behind every hotkey press: the modifier word (MOD_CONTROL alone is
    // acted on) and the virtual-key code, from WM_HOTKEY or from the X11 key grabs.
    void dispatchHotKey(unsigned modifiers, unsigned virtualKey);

protected:
    // Takes every hotkey message (WM_HOTKEY) to the dispatch; all others go on as usual.
    bool nativeEvent(const QByteArray &eventType, void *message, long *result) override;

public slots:
    // --- end hotkeys ---

    // --- Autostart and association (app/autostart*) ---
    void on_cBox_AutoRun_clicked();
    void on_cBox_ZtFileRun_clicked();
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
    void applyGeometry();
    void placeFrameAt(const QPoint &position);
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
    bool m_settingsFailureShown = false; // a setting could not be saved, and that was said
    QString m_startupNote; // said in the status line instead of the hint at start-up

    // Members of the subsystems, each in its own block like the slots above.
    // --- editor members ---
    QScopedPointer<struct EditorState> m_editorState; // made on first use
    EditorState &editorState();
    void showHistoryState();
    // --- end editor members ---
    // --- builder members ---
    // Inserts a builder button's text at the editor's cursor; an "auto" button adds the
    // delay line in a second insertion when automatic delays are on.
    void insertBuilderText(const QString &text, bool autoDelay = false);
    void insertKeyboardLine(const QString &keys);
    // --- end builder members ---
    // --- CSV members ---
    QString m_csvLookupPath; // the lookup tool's file, forward slashes (the record tool's
                             // file is shared with 存csv: csv::recordPath)
    void restoreCsvQuickToolSettings();
    void restoreCsvTableSettings();
    void connectCsvTracking();
    void disconnectCsvTracking();
    QString m_csvTableFile; // canonical path of the file the table holds, once loaded or saved
    enum class CsvSave { Saved, Skipped, NoFile, Failed, TooLarge };
    CsvSave saveCsvTable(bool evenWithoutAutoSave);
    void insertFirstCsvCell();
    // --- end CSV members ---
    // --- hotkey members ---
    // The sixteen atoms, each also the id of its hotkey: CtrlM, CtrlQ, CtrlE, CtrlW, CtrlK,
    // CtrlT, then Ctrl_1 … Ctrl_9, Ctrl_0 (0 while not added).
    quint16 m_hotKeyAtoms[16] = {};
    QStringList m_unavailableHotKeys; // start-up keys another program holds ("Ctrl+E")
    bool addAndRegisterHotKey(int index);
    void registerFixedHotKeys();
    void registerCheckedSlotHotKeys();
    void registerFileStartHotKey();
    void releaseHotKeys();
    void showUnavailableHotKeys(const QStringList &keys);
    void slotCheckBoxClicked(int digit);
    void runSlotScript(int digit);
    void insertMouseCoordinates(const QPoint &position);
    static void hotKeyPressed(void *window, unsigned modifiers, unsigned virtualKey);
    // --- end hotkey members ---

    // A run asked for while the previous one still finishes its last line.
    bool m_hasPendingRun = false;
    QString m_pendingRun;
};

// The status-line hint shown when a run starts and after a repeated run.
QString runHintText();

// The help file: the settings path with its last ".qcf" replaced by "Explain.txt".
QString helpFilePath(const QString &settingsPath);

// Leading decimal number of a settings value (C's atoi: blanks, sign, digits; 0 otherwise).
int leadingNumber(const QByteArray &value);
