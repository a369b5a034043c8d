#pragma once

#include <QWidget>

struct ProcessState;

// The script list and "另存为zt文件": the scripts of the script folder, loaded into the editor
// when chosen, and the editor's text saved under a new name.
class ScriptFilesPanel : public QWidget
{
    Q_OBJECT

public:
    class Host
    {
    public:
        virtual const ProcessState &process() const = 0;
        // The editor's text as a script file keeps it.
        virtual QString scriptText() const = 0;
        // Shows a loaded script in the editor; that is not an edit.
        virtual void showScript(const QString &text) = 0;
        // Starts the undo history over with what the editor shows.
        virtual void restartUndoHistory() = 0;
        virtual void showRunHint() = 0;

    protected:
        ~Host() = default;
    };

    explicit ScriptFilesPanel(QWidget *parent = nullptr);

    // Connects the form's widgets to the slots below, once the form is set up.
    void attach(Host &host);
    // Lists the script folder and loads the default script into the editor.
    void restoreSettings();

    // Said in the status line at start-up instead of the hint (a default script too large to
    // load); empty otherwise.
    QString startUpNote() const { return m_startUpNote; }
    // The script last loaded from the list, and its name there.
    QString currentScriptPath() const { return m_currentScriptPath; }
    QString currentScriptName() const;

public slots:
    void on_cmBox_LoadInstruction_activated(const QString &name);
    void on_pBtn_InstructionSaveAs_clicked();

private:
    // Where the user chose to save the script, ".zt" added; empty when nothing is to be written.
    QString chooseSavePath();
    void listIfLoadable(const QString &path);

    Host *m_host = nullptr;
    QString m_currentScriptPath;
    QString m_startUpNote;
};
