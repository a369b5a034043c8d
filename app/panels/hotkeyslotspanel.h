#pragma once

#include "app/panels/panelsettings.h"

#include <QGroupBox>
#include <QVector>

class QCheckBox;
class QLineEdit;
struct ProcessState;

// The ten hotkey slots of the settings page: Ctrl+1 … Ctrl+9, Ctrl+0 each run the script its
// row names, once the row is enabled.
class HotKeySlotsPanel : public QGroupBox
{
    Q_OBJECT

public:
    class Host : public PanelSettings
    {
    public:
        virtual const ProcessState &process() const = 0;
        // Registers or releases the hotkey of one slot (digit 1 … 9, 0); a key another program
        // holds is said by the host.
        virtual void enableSlotHotKey(int digit) = 0;
        virtual void disableSlotHotKey(int digit) = 0;
        // At start-up: registers the enabled slots' keys and says which could not be had.
        virtual void registerStartUpSlotHotKeys(const QVector<int> &digits) = 0;

    protected:
        ~Host() = default;
    };

    explicit HotKeySlotsPanel(QWidget *parent = nullptr);

    // Connects the form's widgets to the slots below, once the form is set up.
    void attach(Host &host);
    // The enabled rows (their keys registered) and the scripts they name, as saved.
    void restoreSettings();

    // The script path of a slot as its field holds it, also one typed by hand and not saved.
    QString slotScript(int digit) const;

public slots:
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

    // Enable or disable one slot: register or unregister at once, write the setting.
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

private:
    // One row of the group: digit 1 … 9, 0.
    QCheckBox *slotCheckBox(int digit) const;
    QLineEdit *slotField(int digit) const;
    void chooseSlotScript(int digit);
    void slotCheckBoxClicked(int digit);

    Host *m_host = nullptr;
};
