#pragma once

#include "app/panels/builderpanel.h"
#include "app/panels/csvquicktoolspanel.h"
#include "app/panels/csvtablepanel.h"
#include "app/panels/hotkeyslotspanel.h"
#include "app/panels/quickrunpanel.h"
#include "app/panels/scriptfilespanel.h"
#include "app/panels/settingspanel.h"
#include "app/panels/updatepanel.h"
#include "app/hotkeys.h"
#include "app/processstate.h"
#include "app/recorder.h"
#include "app/updater.h"
#include "engine/instructionthread.h"

#include <QMainWindow>
#include <QSystemTrayIcon>

#include <memory>

namespace Ui {
class MainWindow;
}
class Platform;
class SystemTray;

// Window geometry saved with its button and restored by ShowSoftWindow.
struct SavedGeometry
{
    int x = 0;
    int y = 0;
    int width = 0;
    int height = 0;
};

// The shell: run control and the interpreter's receivers, the tray, hotkey dispatch, the script
// editor and start-up order. The form's pages and groups are panels of their own; the window
// is what they reach the rest of the program through.
class MainWindow : public QMainWindow,
                   private BuilderPanel::Host,
                   private CsvQuickToolsPanel::Host,
                   private CsvTablePanel::Host,
                   private HotKeySlotsPanel::Host,
                   private QuickRunPanel::Host,
                   private ScriptFilesPanel::Host,
                   private SettingsPanel::Host,
                   private UpdatePanel::Host,
                   private Updater::Host
{
    Q_OBJECT

public:
    MainWindow(const ProcessState &process, Platform &platform, QWidget *parent = nullptr);
    ~MainWindow() override;

    // Every run passes through here: prepares the text and starts the interpreter.
    void ExecuteInstructions(QString text);

    QInstructionThread &instructionThread() { return thread; }
    const ProcessState &process() const override { return m_process; }
    SystemTray *systemTray() const { return m_tray; }
    const QByteArray &settingsBuffer() const { return m_settingsBuffer; }

    // Receivers of the interpreter's signals, connected by run control. They are plain member
    // functions so the form's connection by name does not look for widgets behind them.
    void on_ShowDisposingFile(QString text);
    void on_ClipboardSetText(QString text);
    void on_Signal_RefreshInstructions();
    void on_signal_ExecuteInstructionFinish();
    void on_Signal_StepNum(int sNum);
    void showRunHint() override;
    // The line at index of the run's list stopped it with an error.
    void showFailedLine(int index);

    // The one routine behind every hotkey press: the modifier word (MOD_CONTROL alone is
    // acted on, and Ctrl+Alt+R) and the virtual-key code, from WM_HOTKEY or from the X11 key
    // grabs.
    void dispatchHotKey(unsigned modifiers, unsigned virtualKey);

    // --- Recording (app/recordcontrol.cpp) ---
    bool isRecording() const { return m_recorder->isRecording(); }
    Recorder &recorder() { return *m_recorder; }

    // --- Online update (app/updater.*) ---
    Updater &updater() override { return *m_updater; }

    // --- Script editor (app/editor.cpp) ---
    // Shows plain script text coloured in the editor; the change slot stays out of it.
    void RenderScript(class QTextEdit *editor, const QString &text);
    // Starts the undo history over with what the editor shows (after a file is loaded).
    void ResetUndoHistory();
    // The script editor's keys: undo, redo, comment-out, Tab and auto-indent.
    bool eventFilter(QObject *watched, QEvent *event) override;

public slots:
    void ShowSoftWindow();
    void SystemTrayActivated(QSystemTrayIcon::ActivationReason reason);
    void SaveZtFile();

    void on_pBtn_ExecuteInstruction_clicked();
    void on_pBtn_ExplainTxt_clicked();
    void on_tabWidget_tabBarClicked(int index);
    void on_tEdt_ExecuteText_textChanged();

protected:
    // Takes every hotkey message (WM_HOTKEY) to the dispatch; all others go on as usual.
    bool nativeEvent(const QByteArray &eventType, void *message, long *result) override;
    void closeEvent(QCloseEvent *event) override;

private:
    // What the panels reach the program through.
    QByteArray setting(const char *key) const override;
    void writeSetting(const char *key, const QString &value) override;
    void insertIntoScript(const QString &text) override;
    QString scriptText() const override;
    void showScript(const QString &text) override;
    void restartUndoHistory() override;
    void runScript(const QString &text) override;
    void hideWindow() override;
    Platform &platform() override { return m_platform; }
    void saveWindowGeometry() override;
    void enableSlotHotKey(int digit) override;
    void disableSlotHotKey(int digit) override;
    void registerStartUpSlotHotKeys(const QVector<int> &digits) override;
    void toggleRecording() override;
    bool busyWithRun() const override;
    bool livesInTray() const override;
    QWidget *dialogParent() override { return this; }
    void leaveToNewProgram() override;
    void returnFromNewProgram() override;

    // Start-up (app/mainwindow.cpp).
    void fitStatusLineToTwoLines();
    void attachPanels();
    void startFileRun();
    void applyGeometry();
    void placeFrameAt(const QPoint &position);
    void applySettings();
    void setStandardTitle();
    void setResellerTitle(const QString &name);

    // Run control (app/runcontrol.cpp).
    void startRun(const QString &text);
    void startPendingRunWhenIdle();
    QString clipboardTextForInterpreter();

    // Recording (app/recordcontrol.cpp).
    void startRecording();
    void stopRecording();
    void showRecordingState(bool recording);
    bool refuseRunWhileRecording();
    recording::Options recordingOptions() const;
    QRect ownScreenArea() const;
    // Puts recorded lines at the editor's cursor as one step of its undo history (editor.cpp).
    void insertRecordedLines(const QStringList &lines);

    // Hotkeys (app/hotkeydispatch.cpp). The atoms, each also the id of its hotkey: CtrlM,
    // CtrlQ, CtrlE, CtrlW, CtrlK, CtrlT, then Ctrl_1 … Ctrl_9, Ctrl_0, then CtrlAltR (0 while
    // not added).
    quint16 m_hotKeyAtoms[hotkeys::atomCount] = {};
    bool m_hotKeyRegistered[hotkeys::atomCount] = {}; // the system gave us the key
    QStringList m_unavailableHotKeys; // start-up keys another program holds ("Ctrl+E")
    bool addAndRegisterHotKey(int index);
    void releaseHotKey(int index);
    void registerFixedHotKeys();
    void registerFileStartHotKey();
    void releaseHotKeys();
    // The update's handover: every key held is let go for the new program, and taken again
    // when the new program failed.
    QVector<int> m_suspendedHotKeys;
    void suspendHotKeys();
    void resumeHotKeys();
    void showUnavailableHotKeys(const QStringList &keys);
    void runSlotScript(int digit);
    void insertMouseCoordinates(const QPoint &position);
    // Every hotkey the program holds now, which a recording leaves out.
    QVector<recording::HotKey> registeredHotKeys() const;
    static void hotKeyPressed(void *window, unsigned modifiers, unsigned virtualKey);

    // Editor (app/editor.cpp).
    QScopedPointer<struct EditorState> m_editorState; // made on first use
    EditorState &editorState();
    void showHistoryState();
    // A typed change (byLines) or a whole new text: the check waits for a pause, the status
    // line tells that the script is being edited.
    void noteScriptEdited(bool byLines);
    // The gutter, the problem marks and the run trace.
    void attachEditorCheck();

    // The panels of the form.
    BuilderPanel *builder() const;
    CsvQuickToolsPanel *csvQuickTools() const;
    CsvTablePanel *csvTable() const;
    HotKeySlotsPanel *hotKeySlots() const;
    QuickRunPanel *quickRun() const;
    ScriptFilesPanel *scriptFiles() const;
    SettingsPanel *settingsPanel() const;
    UpdatePanel *updatePanel() const;

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
    bool m_finalMessageShown = false; // file-start mode: the one message box is up
    bool m_settingsFailureShown = false; // a setting could not be saved, and that was said

    std::unique_ptr<Recorder> m_recorder;
    std::unique_ptr<Updater> m_updater;
    // The update's first steps at start-up (app/mainwindow.cpp).
    void startUpdateDuties();
    bool m_hiddenForRecording = false; // shown again when the recording stops

    // A run asked for while the previous one still finishes its last line.
    bool m_hasPendingRun = false;
    QString m_pendingRun;
};

// The status-line hint shown when a run starts and after a repeated run.
QString runHintText();

// The help file: the settings path with its last ".qcf" replaced by "Explain.txt".
QString helpFilePath(const QString &settingsPath);
