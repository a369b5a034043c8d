#include "app/panels/updatepanel.h"

#include "app/updater.h"

#include <QCheckBox>
#include <QLabel>

UpdatePanel::UpdatePanel(QWidget *parent)
    : QGroupBox(parent)
{
}

void UpdatePanel::attach(Host &host)
{
    m_host = &host;
    QMetaObject::connectSlotsByName(this);
    connect(&host.updater(), &Updater::stateChanged, this, &UpdatePanel::showState);
}

void UpdatePanel::showState(const QString &text)
{
    // The line is as wide as the group leaves it; the whole text is in its tooltip.
    QLabel *state = panels::child<QLabel>(this, "lb_UpdateState");
    state->setText(text);
    state->setToolTip(text);
}

void UpdatePanel::restoreSettings()
{
    panels::child<QCheckBox>(this, "cBox_CheckUpdateAtStart")
        ->setChecked(m_host->setting("CheckUpdateAtStart") == "y");
    const QString version = programVersion();
    showState(m_host->updater().feedUrl().isEmpty()
            ? QStringLiteral("当前版本 %1。没有设置更新地址(UpdateUrl),不检查更新。").arg(version)
            : QStringLiteral("当前版本 %1").arg(version));
}

void UpdatePanel::on_cBox_CheckUpdateAtStart_clicked()
{
    const bool on = panels::child<QCheckBox>(this, "cBox_CheckUpdateAtStart")->isChecked();
    m_host->writeSetting("CheckUpdateAtStart", panels::yesNo(on));
}

void UpdatePanel::on_pBtn_CheckUpdate_clicked()
{
    m_host->updater().check(true);
}
