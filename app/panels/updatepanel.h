#pragma once

#include "app/panels/panelsettings.h"

#include <QGroupBox>

class Updater;

// The settings page's update group: the start-up check box, "检查更新" and a line that says
// what the update is doing or how it ended.
class UpdatePanel : public QGroupBox
{
    Q_OBJECT

public:
    class Host : public PanelSettings
    {
    public:
        virtual Updater &updater() = 0;

    protected:
        ~Host() = default;
    };

    explicit UpdatePanel(QWidget *parent = nullptr);

    // Connects the form's widgets to the slots below and the updater to the state line.
    void attach(Host &host);
    // The check box as saved, and whether updates are set up at all.
    void restoreSettings();

public slots:
    void on_cBox_CheckUpdateAtStart_clicked();
    void on_pBtn_CheckUpdate_clicked();

private:
    void showState(const QString &text);

    Host *m_host = nullptr;
};
