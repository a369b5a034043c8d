// The instruction-builder panel's slots of MainWindow: read the fields, compose, insert.
#include "app/dialogs.h"
#include "app/mainwindow.h"
#include "builder/buildertext.h"
#include "ui_mainwindow.h"

#include <QFileInfo>

void MainWindow::insertBuilderText(const QString &text, bool autoDelay)
{
    if (!text.isEmpty())
        ui->tEdt_ExecuteText->insertPlainText(text);
    if (autoDelay && ui->cBox_AutoAddMSleep->isChecked())
        ui->tEdt_ExecuteText->insertPlainText(builder::delayLine(ui->sBox_MsecSleep->text()));
}

void MainWindow::insertKeyboardLine(const QString &keys)
{
    insertBuilderText(builder::keyboardLine(keys), true);
}

// Mouse

void MainWindow::on_pBtn_MouseLeftDoubleClick_clicked()
{
    insertBuilderText(
        QStringLiteral("鼠标->左键双击\n") + builder::delayLine(QStringLiteral("100")));
}

void MainWindow::on_pBtn_MouseLeftClick_clicked()
{
    insertBuilderText(QStringLiteral("鼠标->左键单击\n"));
}

void MainWindow::on_pBtn_MouseLeftDown_clicked()
{
    insertBuilderText(QStringLiteral("鼠标->左键按下\n"), true);
}

void MainWindow::on_pBtn_MouseLeftUp_clicked()
{
    insertBuilderText(QStringLiteral("鼠标->左键提起\n"), true);
}

void MainWindow::on_pBtn_MouseRightClick_clicked()
{
    insertBuilderText(QStringLiteral("鼠标->右键单击\n"), true);
}

void MainWindow::on_pBtn_ImageRecognition_clicked()
{
    const QString path = dialogs::openFileName(
        nullptr, QStringLiteral("选择文件"), QStringLiteral("."), QStringLiteral("*.bmp"));
    // The delay line follows also a cancelled choice.
    insertBuilderText(path.isEmpty() ? QString() : builder::recognitionLine(path), true);
}

void MainWindow::on_pBtn_MouseOffset_clicked()
{
    insertBuilderText(
        builder::mouseOffsetLine(ui->sBox_MouseOffsetX->text(), ui->sBox_MouseOffsetY->text()),
        true);
}

// Keyboard

void MainWindow::on_pBtn_DisplayDesktop_clicked()
{
    insertKeyboardLine(QStringLiteral("LWin+D"));
}

void MainWindow::on_pBtn_CloseWindow_clicked()
{
    insertKeyboardLine(QStringLiteral("Alt+F4"));
}

void MainWindow::on_pBtn_MinimizeWindow_clicked()
{
    insertKeyboardLine(QStringLiteral("Alt+Space+N"));
}

void MainWindow::on_pBtn_MaximizeWindow_clicked()
{
    insertKeyboardLine(QStringLiteral("Alt+Space+X"));
}

void MainWindow::on_pBtn_Keyboard_clicked()
{
    insertKeyboardLine(ui->lEdt_Keyboard->text());
}

void MainWindow::on_pBtn_CtrlC_clicked()
{
    insertKeyboardLine(QStringLiteral("Ctrl+C"));
}

void MainWindow::on_pBtn_CtrlX_clicked()
{
    insertKeyboardLine(QStringLiteral("Ctrl+X"));
}

void MainWindow::on_pBtn_CtrlV_clicked()
{
    insertKeyboardLine(QStringLiteral("Ctrl+V"));
}

void MainWindow::on_pBtn_CtrlS_clicked()
{
    insertBuilderText(builder::keyboardLine(QStringLiteral("Ctrl+S"))
        + builder::delayLine(QStringLiteral("100")));
}

void MainWindow::on_pBtn_CtrlF_clicked()
{
    insertKeyboardLine(QStringLiteral("Ctrl+F"));
}

void MainWindow::on_pBtn_CtrlA_clicked()
{
    insertKeyboardLine(QStringLiteral("Ctrl+A"));
}

void MainWindow::on_pBtn_AltTab_clicked()
{
    insertKeyboardLine(QStringLiteral("Ctrl+Tab"));
}

void MainWindow::on_pBtn_CtrlP_clicked()
{
    insertKeyboardLine(QStringLiteral("Ctrl+P"));
}

void MainWindow::on_pBtn_NextStep_clicked()
{
    insertKeyboardLine(QStringLiteral("Alt+N"));
}

void MainWindow::on_pBtn_KeyDown_clicked()
{
    insertKeyboardLine(QStringLiteral("DOWN"));
}

void MainWindow::on_pBtn_KeyUp_clicked()
{
    insertKeyboardLine(QStringLiteral("UP"));
}

void MainWindow::on_pBtn_KeyLeft_clicked()
{
    insertKeyboardLine(QStringLiteral("LEFT"));
}

void MainWindow::on_pBtn_KeyRight_clicked()
{
    insertKeyboardLine(QStringLiteral("RIGHT"));
}

void MainWindow::on_pBtn_KeyF5_clicked()
{
    insertKeyboardLine(QStringLiteral("F5"));
}

void MainWindow::on_pBtn_KeyEnter_clicked()
{
    insertKeyboardLine(QStringLiteral("Enter"));
}

void MainWindow::on_pBtn_KeyBackspace_clicked()
{
    insertKeyboardLine(QStringLiteral("Backspace"));
}

void MainWindow::on_pBtn_KeyDel_clicked()
{
    insertKeyboardLine(QStringLiteral("Delete"));
}

void MainWindow::on_pBtn_KeyF2_clicked()
{
    insertKeyboardLine(QStringLiteral("F2"));
}

// Delays and time

void MainWindow::on_pBtn_MsecSleep_clicked()
{
    insertBuilderText(builder::delayLine(ui->sBox_MsecSleep->text()));
}

void MainWindow::on_pBtn_ExecuteTime_clicked()
{
    insertBuilderText(
        builder::executeTimeLine(ui->sBox_ExecuteHour->value(), ui->sBox_ExecuteSec->value()));
}

void MainWindow::on_cBox_AutoAddMSleep_clicked()
{
    writeSetting("AutoAddMSleep",
        ui->cBox_AutoAddMSleep->isChecked() ? QStringLiteral("y") : QStringLiteral("n"));
}

void MainWindow::on_sBox_MsecSleep_valueChanged(int)
{
    writeSetting("MsecSleep", ui->sBox_MsecSleep->text());
}

// Text, addresses, files

void MainWindow::on_pBtn_InputText_clicked()
{
    insertBuilderText(
        QStringLiteral("粘贴->") + ui->lEdt_InputText->text() + QLatin1Char('\n'), true);
}

void MainWindow::on_pBtn_OpenUrl_clicked()
{
    const QString target = ui->lEdt_OpenUrl->text();
    insertBuilderText(builder::openTargetText(target, QFileInfo(target).isFile()));
}

// Other instructions

void MainWindow::on_pBtn_LocalLoop_clicked()
{
    insertBuilderText(builder::localLoopTemplate());
}

void MainWindow::on_pBtn_CopyIfElse_clicked()
{
    insertBuilderText(builder::copyIfElseTemplate());
}

void MainWindow::on_pBtn_ChuanCompare_clicked()
{
    insertBuilderText(builder::compareTemplate());
}

void MainWindow::on_pBtn_LoopRecognition_clicked()
{
    insertBuilderText(builder::loopRecognitionTemplate());
}

void MainWindow::on_pBtn_RecognitionIfElse_clicked()
{
    insertBuilderText(builder::recognitionIfElseTemplate());
}

void MainWindow::on_pBtn_Shutdown_clicked()
{
    insertBuilderText(QStringLiteral("关机->/f /s /t 1\n"));
}

void MainWindow::on_pBtn_KillProcess_clicked()
{
    insertBuilderText(QStringLiteral("进程->") + ui->lEdt_KillProcess->text() + QLatin1Char('\n'));
}

void MainWindow::on_pBtn_AdslConnect_clicked()
{
    const QString name = ui->lEdt_ConnectAdslName->text();
    const QString user = ui->lEdt_ConnectAdslUser->text();
    const QString password = ui->lEdt_ConnectAdslPassword->text();
    insertBuilderText(builder::adslConnectText(name, user, password));
    writeSetting("connectAdslName", name);
    writeSetting("connectAdslUser", user);
    writeSetting("connectAdslPassword", password);
}

void MainWindow::on_pBtn_AdslDisconnect_clicked()
{
    const QString name = ui->lEdt_DisconnectAdslName->text();
    insertBuilderText(builder::adslDisconnectText(name));
    writeSetting("disconnectAdslName", name);
}
