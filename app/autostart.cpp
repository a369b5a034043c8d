// The settings page's two boxes that connect the program to the desktop: autostart and the
// .zt file association. Each writes its setting whatever the system said, so the box shows
// the user's choice at the next start; a refusal is told at once.
#include "app/dialogs.h"
#include "app/mainwindow.h"
#include "platform/platform.h"
#include "ui_mainwindow.h"

namespace {

const QString kAutorunArgument = QStringLiteral("-autorun");

QString flag(bool on)
{
    return on ? QStringLiteral("y") : QStringLiteral("n");
}

// What the user reads when the system refused: what failed, and the usual reason on Windows.
QString refusalText(const QString &what)
{
    return what + QStringLiteral("失败:系统拒绝了修改,设置没有生效。\n")
        + QStringLiteral("Windows 下请以管理员身份运行本软件后重新设置。");
}

} // namespace

void MainWindow::on_cBox_AutoRun_clicked()
{
    const bool on = ui->cBox_AutoRun->isChecked();
    const bool done = on ? m_platform.setAutostart(m_process.executablePath, kAutorunArgument)
                         : m_platform.removeAutostart(m_process.executablePath, kAutorunArgument);
    writeSetting("autoRun", flag(on));
    if (!done) {
        dialogs::information(this, QStringLiteral("提示:"),
            refusalText(on ? QStringLiteral("设置开机启动") : QStringLiteral("取消开机启动")));
    }
}

void MainWindow::on_cBox_ZtFileRun_clicked()
{
    const bool on = ui->cBox_ZtFileRun->isChecked();
    writeSetting("ztFileRun", flag(on));
    const bool done = on
        ? m_platform.associateScriptFiles(m_process.executablePath, m_process.programFolder)
        : m_platform.dissociateScriptFiles(m_process.executablePath);
    if (!done) {
        dialogs::information(this, QStringLiteral("提示:"),
            refusalText(on ? QStringLiteral("关联zt文件") : QStringLiteral("取消关联zt文件")));
    }
}
