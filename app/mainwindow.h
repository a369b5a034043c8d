#pragma once

#include "app/processstate.h"
#include "engine/instructionthread.h"

#include <QMainWindow>

namespace Ui {
class MainWindow;
}
class Platform;

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

    // Receivers of the interpreter's signals, connected by run control. They are plain member
    // functions so the form's connection by name does not look for widgets behind them.
    void on_ShowDisposingFile(QString text);
    void on_ClipboardSetText(QString text);
    void on_Signal_RefreshInstructions();
    void on_signal_ExecuteInstructionFinish();
    void on_Signal_StepNum(int sNum);

public slots:
    void on_pBtn_ExecuteInstruction_clicked();

private:
    void startRun(const QString &text);
    void startPendingRunWhenIdle();
    QString clipboardTextForInterpreter();

    // The thread is constructed before the form, and destroyed after it.
    QInstructionThread thread;
    Ui::MainWindow *ui;
    ProcessState m_process;
    Platform &m_platform;
    int screenWidth = 0;
    int screenHeight = 0;
    int designHeight = 0;
    int designWidth = 0;

    // A run asked for while the previous one still finishes its last line.
    bool m_hasPendingRun = false;
    QString m_pendingRun;
};
