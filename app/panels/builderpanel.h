#pragma once

#include "app/panels/panelsettings.h"
#include "engine/recording.h"

#include <QWidget>

// The instruction builder: the groups of buttons and fields that write script lines into the
// editor at its cursor, with an automatic delay line where the panel is set to add one.
class BuilderPanel : public QWidget
{
    Q_OBJECT

public:
    class Host : public PanelSettings
    {
    public:
        // Inserts text at the script editor's cursor, replacing its selection.
        virtual void insertIntoScript(const QString &text) = 0;
        // Starts a recording of the user's input, or stops the one that goes on.
        virtual void toggleRecording() = 0;

    protected:
        ~Host() = default;
    };

    explicit BuilderPanel(QWidget *parent = nullptr);

    // Connects the form's buttons to the slots below, once the form is set up.
    void attach(Host &host);
    // The ADSL fields and the delay settings as they were saved.
    void restoreSettings();

    // Whether builder lines get a delay line after them, and that delay (Ctrl+M follows it).
    bool addsDelays() const;
    QString delayMsec() const;

    // The recorder's choices: hide the window while recording, and how pauses are written.
    bool hidesWindowWhileRecording() const;
    recording::Options recordingOptions() const;
    // The record button as a recording goes on or not.
    void showRecording(bool recording);

public slots:
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
    void on_pBtn_Record_clicked();
    void on_cBox_RecordHideWindow_clicked();
    void on_cmbBox_RecordDelays_activated(int index);

private:
    // An "auto" button adds the delay line in a second insertion when automatic delays are on.
    void insert(const QString &text, bool autoDelay = false);
    void insertKeyboardLine(const QString &keys);
    QString fieldText(const char *name) const;

    Host *m_host = nullptr;
};
