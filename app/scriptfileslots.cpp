// Script files and quick-run, as members of MainWindow: the list, loading, save-as, the
// hotkey slots' script choosers and running a script by name.
#include "app/dialogs.h"
#include "app/mainwindow.h"
#include "app/scriptfiles.h"
#include "ui_mainwindow.h"

#include <QDir>
#include <QFileInfo>

namespace {

const QString kScriptFilter = QStringLiteral("*.zt");

QString tooLargeText()
{
    return QStringLiteral("文件过大!");
}

} // namespace

void MainWindow::on_cmBox_LoadInstruction_activated(const QString &name)
{
    QTextEdit *edit = ui->tEdt_ExecuteText;
    disconnect(edit, SIGNAL(textChanged()), this, SLOT(on_tEdt_ExecuteText_textChanged()));
    ui->lb_ShowDisposingFile->setText(runHintText());

    m_currentScriptPath
        = existingScriptFile(m_process.scriptFolder() + name + QStringLiteral(".zt"));
    if (QFileInfo::exists(m_currentScriptPath)) {
        bool tooLarge = false;
        const QString text = readWholeScriptFile(m_currentScriptPath, &tooLarge);
        if (tooLarge)
            dialogs::about(this, QStringLiteral("提示:"), tooLargeText());
        else
            RenderScript(edit, text);
    } else {
        dialogs::about(this, QStringLiteral("提示:"), QStringLiteral("文件不存在!"));
    }

    ResetUndoHistory();
    connect(edit, SIGNAL(textChanged()), this, SLOT(on_tEdt_ExecuteText_textChanged()),
        Qt::UniqueConnection);
}

void MainWindow::on_pBtn_InstructionSaveAs_clicked()
{
    // The dialog adds ".zt" to a bare name before its own question about replacing a file.
    QString path = dialogs::saveFileName(this, QStringLiteral("文件另存为"),
        m_process.scriptFolder(), kScriptFilter, QStringLiteral("zt"));
    if (path.isEmpty())
        return;
    path = QDir::toNativeSeparators(path);
    // A dialog that left the name bare (a native one, without a default suffix) has not asked
    // about the file that is written now: nothing is replaced without a yes.
    if (QFileInfo(path).suffix().isEmpty()) {
        path += QStringLiteral(".zt");
        if (QFileInfo::exists(path)
            && !dialogs::question(this, QStringLiteral("文件另存为"),
                QStringLiteral("%1 已存在。\n要替换它吗?").arg(QFileInfo(path).fileName())))
            return;
    }

    if (!writeScriptFile(path, ui->tEdt_ExecuteText->toPlainText().trimmed())) {
        dialogs::about(this, QStringLiteral("提示:"), QStringLiteral("保存失败!"));
        return;
    }
    dialogs::about(this, QStringLiteral("提示:"), QStringLiteral("保存成功!"));

    // Listed only when the list can load it again: a script right in the script folder.
    const QFileInfo file(path);
    const bool inScriptFolder
        = QDir::cleanPath(file.absolutePath()) == QDir::cleanPath(m_process.scriptFolder());
    if (inScriptFolder && file.suffix().compare(QLatin1String("zt"), Qt::CaseInsensitive) == 0) {
        const QString name = file.completeBaseName();
        if (ui->cmBox_LoadInstruction->findText(name, Qt::MatchExactly | Qt::MatchCaseSensitive)
            < 0)
            ui->cmBox_LoadInstruction->addItem(name);
    }
}

void MainWindow::on_lEdt_RunZtFile_returnPressed()
{
    // The name as typed: a trailing blank is part of the file name looked for.
    const QString path = QDir::toNativeSeparators(existingScriptFile(
        m_process.scriptFolder() + ui->lEdt_RunZtFile->text() + QStringLiteral(".zt")));
    if (QFileInfo::exists(path)) {
        bool tooLarge = false;
        const QString text = readWholeScriptFile(path, &tooLarge);
        if (tooLarge) {
            dialogs::about(this, QStringLiteral("注意："), tooLargeText());
        } else {
            ExecuteInstructions(text);
            hide();
        }
    } else {
        dialogs::about(this, QStringLiteral("注意："), QStringLiteral("文件不存在!"));
    }
    ui->lEdt_RunZtFile->clear();
}

void MainWindow::chooseSlotScript(int digit)
{
    const QString path = dialogs::openFileName(
        nullptr, QStringLiteral("选择文件"), m_process.scriptFolder(), kScriptFilter);
    if (path.isEmpty())
        return;
    slotField(digit)->setText(path);
    writeSetting(("CtrlPath_" + QByteArray::number(digit)).constData(), path);
}

void MainWindow::on_pBtn_KeyToPerform_1_clicked()
{
    chooseSlotScript(1);
}

void MainWindow::on_pBtn_KeyToPerform_2_clicked()
{
    chooseSlotScript(2);
}

void MainWindow::on_pBtn_KeyToPerform_3_clicked()
{
    chooseSlotScript(3);
}

void MainWindow::on_pBtn_KeyToPerform_4_clicked()
{
    chooseSlotScript(4);
}

void MainWindow::on_pBtn_KeyToPerform_5_clicked()
{
    chooseSlotScript(5);
}

void MainWindow::on_pBtn_KeyToPerform_6_clicked()
{
    chooseSlotScript(6);
}

void MainWindow::on_pBtn_KeyToPerform_7_clicked()
{
    chooseSlotScript(7);
}

void MainWindow::on_pBtn_KeyToPerform_8_clicked()
{
    chooseSlotScript(8);
}

void MainWindow::on_pBtn_KeyToPerform_9_clicked()
{
    chooseSlotScript(9);
}

void MainWindow::on_pBtn_KeyToPerform_0_clicked()
{
    chooseSlotScript(0);
}
