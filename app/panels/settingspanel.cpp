// Autostart and the .zt association connect the program to the desktop. Each box writes its
// setting whatever the system said, so the box shows the user's choice at the next start; a
// refusal is told at once.
#include "app/panels/settingspanel.h"

#include "app/dialogs.h"
#include "app/processstate.h"
#include "platform/platform.h"

#include <QCheckBox>

namespace {

const QString kAutorunArgument = QStringLiteral("-autorun");

// What the user reads when the system refused: what failed, and the usual reason on Windows.
QString refusalText(const QString &what)
{
    return what + QStringLiteral("失败:系统拒绝了修改,设置没有生效。\n")
        + QStringLiteral("Windows 下请以管理员身份运行本软件后重新设置。");
}

} // namespace

SettingsPanel::SettingsPanel(QWidget *parent)
    : QGroupBox(parent)
{
}

void SettingsPanel::attach(Host &host)
{
    m_host = &host;
    QMetaObject::connectSlotsByName(this);
}

void SettingsPanel::restoreSettings()
{
    if (m_host->setting("autoRun") == "y")
        panels::child<QCheckBox>(this, "cBox_AutoRun")->setChecked(true);
    if (m_host->setting("ztFileRun") == "y")
        panels::child<QCheckBox>(this, "cBox_ZtFileRun")->setChecked(true);
    if (m_host->setting("executeAtOnce").startsWith('y'))
        panels::child<QCheckBox>(this, "cBox_ExecuteAtOnce")->setChecked(true);
}

bool SettingsPanel::runsAtStart() const
{
    return isChecked("cBox_ExecuteAtOnce");
}

bool SettingsPanel::isChecked(const char *name) const
{
    return panels::child<QCheckBox>(this, name)->isChecked();
}

void SettingsPanel::on_cBox_AutoRun_clicked()
{
    const bool on = isChecked("cBox_AutoRun");
    const ProcessState &process = m_host->process();
    Platform &platform = m_host->platform();
    const bool done = on ? platform.setAutostart(process.executablePath, kAutorunArgument)
                         : platform.removeAutostart(process.executablePath, kAutorunArgument);
    m_host->writeSetting("autoRun", panels::yesNo(on));
    if (!done) {
        dialogs::information(window(), QStringLiteral("提示:"),
            refusalText(on ? QStringLiteral("设置开机启动") : QStringLiteral("取消开机启动")));
    }
}

void SettingsPanel::on_cBox_ZtFileRun_clicked()
{
    const bool on = isChecked("cBox_ZtFileRun");
    m_host->writeSetting("ztFileRun", panels::yesNo(on));
    const ProcessState &process = m_host->process();
    Platform &platform = m_host->platform();
    const bool done = on
        ? platform.associateScriptFiles(process.executablePath, process.programFolder)
        : platform.dissociateScriptFiles(process.executablePath);
    if (!done) {
        dialogs::information(window(), QStringLiteral("提示:"),
            refusalText(on ? QStringLiteral("关联zt文件") : QStringLiteral("取消关联zt文件")));
    }
}

void SettingsPanel::on_cBox_ExecuteAtOnce_clicked()
{
    m_host->writeSetting("executeAtOnce", panels::yesNo(isChecked("cBox_ExecuteAtOnce")));
}

void SettingsPanel::on_pBtn_FixedSoftPosition_clicked()
{
    m_host->saveWindowGeometry();
}
