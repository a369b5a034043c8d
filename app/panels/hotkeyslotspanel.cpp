#include "app/panels/hotkeyslotspanel.h"

#include "app/dialogs.h"
#include "app/hotkeys.h"
#include "app/processstate.h"

#include <QCheckBox>
#include <QLineEdit>

namespace {

QByteArray slotKey(const char *prefix, int digit)
{
    return prefix + QByteArray::number(digit);
}

} // namespace

HotKeySlotsPanel::HotKeySlotsPanel(QWidget *parent)
    : QGroupBox(parent)
{
}

void HotKeySlotsPanel::attach(Host &host)
{
    m_host = &host;
    QMetaObject::connectSlotsByName(this);
}

void HotKeySlotsPanel::restoreSettings()
{
    QVector<int> enabled;
    for (int digit : hotkeys::slotDigits) {
        if (m_host->setting(slotKey("Ctrl_", digit).constData()).startsWith('y')) {
            slotCheckBox(digit)->setChecked(true);
            enabled << digit;
        }
    }
    m_host->registerStartUpSlotHotKeys(enabled);
    for (int digit : hotkeys::slotDigits) {
        const QByteArray path = m_host->setting(slotKey("CtrlPath_", digit).constData());
        if (!path.isEmpty())
            slotField(digit)->setText(QString::fromLocal8Bit(path));
    }
}

QString HotKeySlotsPanel::slotScript(int digit) const
{
    return slotField(digit)->text();
}

QCheckBox *HotKeySlotsPanel::slotCheckBox(int digit) const
{
    return panels::child<QCheckBox>(this, slotKey("cBox_KeyToPerform_", digit).constData());
}

QLineEdit *HotKeySlotsPanel::slotField(int digit) const
{
    return panels::child<QLineEdit>(this, slotKey("lEdt_KeyToPerform_", digit).constData());
}

void HotKeySlotsPanel::chooseSlotScript(int digit)
{
    const QString path = dialogs::openFileName(nullptr, QStringLiteral("选择文件"),
        m_host->process().scriptFolder(), QStringLiteral("*.zt"));
    if (path.isEmpty())
        return;
    slotField(digit)->setText(path);
    m_host->writeSetting(slotKey("CtrlPath_", digit).constData(), path);
}

void HotKeySlotsPanel::slotCheckBoxClicked(int digit)
{
    const bool on = slotCheckBox(digit)->isChecked();
    m_host->writeSetting(slotKey("Ctrl_", digit).constData(), panels::yesNo(on));
    if (on)
        m_host->enableSlotHotKey(digit);
    else
        m_host->disableSlotHotKey(digit);
}

void HotKeySlotsPanel::on_pBtn_KeyToPerform_1_clicked()
{
    chooseSlotScript(1);
}

void HotKeySlotsPanel::on_pBtn_KeyToPerform_2_clicked()
{
    chooseSlotScript(2);
}

void HotKeySlotsPanel::on_pBtn_KeyToPerform_3_clicked()
{
    chooseSlotScript(3);
}

void HotKeySlotsPanel::on_pBtn_KeyToPerform_4_clicked()
{
    chooseSlotScript(4);
}

void HotKeySlotsPanel::on_pBtn_KeyToPerform_5_clicked()
{
    chooseSlotScript(5);
}

void HotKeySlotsPanel::on_pBtn_KeyToPerform_6_clicked()
{
    chooseSlotScript(6);
}

void HotKeySlotsPanel::on_pBtn_KeyToPerform_7_clicked()
{
    chooseSlotScript(7);
}

void HotKeySlotsPanel::on_pBtn_KeyToPerform_8_clicked()
{
    chooseSlotScript(8);
}

void HotKeySlotsPanel::on_pBtn_KeyToPerform_9_clicked()
{
    chooseSlotScript(9);
}

void HotKeySlotsPanel::on_pBtn_KeyToPerform_0_clicked()
{
    chooseSlotScript(0);
}

void HotKeySlotsPanel::on_cBox_KeyToPerform_1_clicked()
{
    slotCheckBoxClicked(1);
}

void HotKeySlotsPanel::on_cBox_KeyToPerform_2_clicked()
{
    slotCheckBoxClicked(2);
}

void HotKeySlotsPanel::on_cBox_KeyToPerform_3_clicked()
{
    slotCheckBoxClicked(3);
}

void HotKeySlotsPanel::on_cBox_KeyToPerform_4_clicked()
{
    slotCheckBoxClicked(4);
}

void HotKeySlotsPanel::on_cBox_KeyToPerform_5_clicked()
{
    slotCheckBoxClicked(5);
}

void HotKeySlotsPanel::on_cBox_KeyToPerform_6_clicked()
{
    slotCheckBoxClicked(6);
}

void HotKeySlotsPanel::on_cBox_KeyToPerform_7_clicked()
{
    slotCheckBoxClicked(7);
}

void HotKeySlotsPanel::on_cBox_KeyToPerform_8_clicked()
{
    slotCheckBoxClicked(8);
}

void HotKeySlotsPanel::on_cBox_KeyToPerform_9_clicked()
{
    slotCheckBoxClicked(9);
}

void HotKeySlotsPanel::on_cBox_KeyToPerform_0_clicked()
{
    slotCheckBoxClicked(0);
}
