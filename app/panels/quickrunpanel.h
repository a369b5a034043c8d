#pragma once

#include <QGroupBox>

struct ProcessState;

// "直接执行ZtFiles文件夹中zt文件": a script of the script folder run by its name, the window
// going to the tray meanwhile.
class QuickRunPanel : public QGroupBox
{
    Q_OBJECT

public:
    class Host
    {
    public:
        virtual const ProcessState &process() const = 0;
        virtual void runScript(const QString &text) = 0;
        virtual void hideWindow() = 0;

    protected:
        ~Host() = default;
    };

    explicit QuickRunPanel(QWidget *parent = nullptr);

    // Connects the form's field to the slot below, once the form is set up.
    void attach(Host &host);
    // Ctrl+K: the name is typed next.
    void focusNameField();

public slots:
    void on_lEdt_RunZtFile_returnPressed();

private:
    Host *m_host = nullptr;
};
