#pragma once

#include "app/panels/panelsettings.h"

#include <QGroupBox>

class Platform;
struct ProcessState;

// The settings page's first group: autostart, the .zt file association, running the script at
// start-up, and saving the window's size and place.
class SettingsPanel : public QGroupBox
{
    Q_OBJECT

public:
    class Host : public PanelSettings
    {
    public:
        virtual const ProcessState &process() const = 0;
        virtual Platform &platform() = 0;
        // Keeps the window's size and place for the next start, and says so.
        virtual void saveWindowGeometry() = 0;

    protected:
        ~Host() = default;
    };

    explicit SettingsPanel(QWidget *parent = nullptr);

    // Connects the form's widgets to the slots below, once the form is set up.
    void attach(Host &host);
    // The three check boxes as they were saved.
    void restoreSettings();
    // Whether the editor's script runs as soon as the program has started.
    bool runsAtStart() const;

public slots:
    void on_cBox_AutoRun_clicked();
    void on_cBox_ZtFileRun_clicked();
    void on_cBox_ExecuteAtOnce_clicked();
    void on_pBtn_FixedSoftPosition_clicked();

private:
    bool isChecked(const char *name) const;

    Host *m_host = nullptr;
};
