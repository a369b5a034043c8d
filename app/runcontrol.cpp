// Run control: every run passes through ExecuteInstructions; the interpreter reports back to
// the receivers here.
#include "app/appresources.h"
#include "app/dialogs.h"
#include "app/editorstate.h"
#include "app/guithreadcall.h"
#include "app/mainwindow.h"
#include "app/scriptfiles.h"
#include "app/systemtray.h"
#include "engine/preparation.h"
#include "platform/platform.h"
#include "ui_mainwindow.h"

#include <QClipboard>
#include <QCoreApplication>
#include <QGuiApplication>
#include <QRegularExpression>
#include <QTimer>

QString MainWindow::clipboardTextForInterpreter()
{
    // The clipboard belongs to the GUI thread; the interpreter asks it there and stops
    // waiting once the run is told to stop.
    return callOnObjectThread(
        this, [] { return QGuiApplication::clipboard()->text(QClipboard::Clipboard); },
        [this] { return thread.executeFlag.load(); });
}

void MainWindow::ExecuteInstructions(QString text)
{
    // Every way to start a run comes here, so this one refusal covers them all.
    if (refuseRunWhileRecording())
        return;
    // The files under the program are being replaced and the new program is starting.
    if (m_updater->stage() == Updater::Stage::HandingOver)
        return;
    if (thread.isRunning()) {
        // A run that still goes on refuses the request, as its disabled button does; one
        // that was told to stop and is finishing its last line is followed by the latest
        // request as soon as it has ended. The list is never replaced under the interpreter.
        if (thread.executeFlag)
            return;
        m_pendingRun = std::move(text);
        if (!m_hasPendingRun) {
            m_hasPendingRun = true;
            QTimer::singleShot(10, this, &MainWindow::startPendingRunWhenIdle);
        }
        return;
    }
    startRun(text);
}

void MainWindow::startPendingRunWhenIdle()
{
    if (!m_hasPendingRun)
        return;
    if (thread.isRunning()) {
        QTimer::singleShot(10, this, &MainWindow::startPendingRunWhenIdle);
        return;
    }
    m_hasPendingRun = false;
    startRun(std::exchange(m_pendingRun, QString()));
}

void MainWindow::startRun(const QString &text)
{
    thread.executeFlag = true;
    thread.setInstructionList({});
    if (!m_process.fileStartMode) {
        ui->lb_ShowDisposingFile->setText(runHintText());
        ui->pBtn_ExecuteInstruction->setText(QStringLiteral("停止执行(Ctrl+Q)"));
        ui->pBtn_ExecuteInstruction->setEnabled(false);
    }
    // The same lines as prepareFull, with where each came from for the editor's trace.
    const preparation::PreparedScript prepared = preparation::prepareWithOrigins(text);
    thread.setInstructionList(prepared.lines);
    if (!m_process.fileStartMode)
        editorState().check->runStarting(prepared, text);

    connect(&thread, &QInstructionThread::ClipboardSetText, this, &MainWindow::on_ClipboardSetText,
        Qt::UniqueConnection);
    connect(&thread, &QInstructionThread::ShowDisposingFile, this,
        &MainWindow::on_ShowDisposingFile, Qt::UniqueConnection);
    connect(&thread, &QInstructionThread::Signal_RefreshInstructions, this,
        &MainWindow::on_Signal_RefreshInstructions, Qt::UniqueConnection);
    connect(&thread, &QThread::finished, this, &MainWindow::on_signal_ExecuteInstructionFinish,
        Qt::UniqueConnection);
    connect(&thread, &QInstructionThread::Signal_StepNum, this, &MainWindow::on_Signal_StepNum,
        Qt::UniqueConnection);
    connect(&thread, &QInstructionThread::ShowRunHint, this, &MainWindow::showRunHint,
        Qt::UniqueConnection);
    connect(&thread, &QInstructionThread::Signal_LineFailed, this, &MainWindow::showFailedLine,
        Qt::UniqueConnection);

    thread.start(QThread::InheritPriority);
}

QString runHintText()
{
    return QStringLiteral(
        "<span style=\" color:#00aa00;\">Ctrl+E</span>执行下列指令,<span style=\" "
        "color:#ff5500;\">Ctrl+W</span>执行复制的指令,<span style=\" "
        "color:#55aaff;\">Ctrl+Q</span>(zt文件Ctr+T)中途终止。");
}

void MainWindow::on_Signal_RefreshInstructions()
{
    const preparation::PreparedScript prepared = preparation::prepareReducedWithOrigins(
        ui->tEdt_ExecuteText->toPlainText().trimmed());
    thread.setInstructionList(prepared.lines);
    editorState().check->runRefreshed(prepared);
}

void MainWindow::on_ShowDisposingFile(QString text)
{
    if (!m_process.fileStartMode) {
        ui->lb_ShowDisposingFile->setText(text);
        return;
    }
    // The first message of a file-start run is final: later ones are dropped, also a
    // "complete" that was already queued when the message box opened.
    if (m_finalMessageShown)
        return;
    if (text == QLatin1String("complete")) {
        QCoreApplication::quit();
        return;
    }
    m_finalMessageShown = true;
    disconnect(
        &thread, &QInstructionThread::ShowDisposingFile, this, &MainWindow::on_ShowDisposingFile);
    dialogs::information(this, QStringLiteral("注意："), text, QMessageBox::Yes);
    QCoreApplication::quit();
}

void MainWindow::showRunHint()
{
    if (!m_process.fileStartMode)
        ui->lb_ShowDisposingFile->setText(runHintText());
}

void MainWindow::on_ClipboardSetText(QString text)
{
    setClipboardText(text);
}

void MainWindow::on_signal_ExecuteInstructionFinish()
{
    thread.executeFlag = false;
    thread.waitFlag = false;
    editorState().check->runFinished();
    if (!m_process.fileStartMode) {
        ui->pBtn_ExecuteInstruction->setText(QStringLiteral("执行指令(Ctrl+E)"));
        ui->pBtn_ExecuteInstruction->setEnabled(true);
        if (m_tray)
            m_tray->setIcon(QIcon(idleTrayIconPath()));
    }
    if (thread.isRunning())
        thread.exit(0);
}

void MainWindow::on_Signal_StepNum(int sNum)
{
    editorState().check->runStepped(sNum);
    if (m_tray)
        m_tray->setIcon(QIcon(runningTrayIconPath(sNum)));
}

void MainWindow::showFailedLine(int index)
{
    editorState().check->runFailed(index);
}

void MainWindow::on_pBtn_ExecuteInstruction_clicked()
{
    const QString text = ui->tEdt_ExecuteText->toPlainText().trimmed();

    static const QRegularExpression reseller(
        QStringLiteral("\\AOEMbyOrbenix->(.*)\\z"), QRegularExpression::DotMatchesEverythingOption);
    const QRegularExpressionMatch m = reseller.match(text);
    if (m.hasMatch()) {
        const QString name = m.captured(1).trimmed();
        if (name.isEmpty())
            setStandardTitle();
        else
            setResellerTitle(name);
        // A value never spans lines in the settings file.
        QString stored = name;
        stored.replace(QLatin1Char('\r'), QLatin1Char(' '))
            .replace(QLatin1Char('\n'), QLatin1Char(' '));
        writeSetting("OEMVersion", stored);
    }

    // The default script mirrors the editor, unless it holds a script too large to have been
    // loaded: that one is left alone.
    const bool keepDefault = !mayReplaceScriptFile(m_process.defaultScriptPath());
    if (!keepDefault)
        writeScriptFile(m_process.defaultScriptPath(), text);
    ExecuteInstructions(text);
    if (keepDefault && !m_process.fileStartMode)
        ui->lb_ShowDisposingFile->setText(tooLargeScriptNote(m_process.defaultScriptPath()));
}

void MainWindow::runScript(const QString &text)
{
    ExecuteInstructions(text);
}
