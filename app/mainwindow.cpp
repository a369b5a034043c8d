#include "app/mainwindow.h"

#include "app/guithreadcall.h"
#include "engine/preparation.h"
#include "platform/platform.h"
#include "ui_mainwindow.h"

#include <QApplication>
#include <QClipboard>
#include <QGuiApplication>
#include <QMessageBox>
#include <QScreen>
#include <QTimer>

MainWindow::MainWindow(const ProcessState &process, Platform &platform, QWidget *parent)
    : QMainWindow(parent)
    , ui(new Ui::MainWindow)
    , m_process(process)
    , m_platform(platform)
{
    thread.setPlatform(&platform);
    thread.setFileStartMode(process.fileStartMode);
    thread.setClipboardReader([this] { return clipboardTextForInterpreter(); });

    ui->setupUi(this);
    ui->tabWidget->setCurrentIndex(0);

    if (const QScreen *screen = QGuiApplication::primaryScreen()) {
        screenWidth = screen->geometry().width();
        screenHeight = screen->geometry().height();
    }
    designHeight = height();
    designWidth = width();

    if (m_process.fileStartMode) {
        ExecuteInstructions(readScriptFile(m_process.argument));
        return;
    }

    if (!m_process.autorun())
        show();
    move((screenWidth - width()) / 2, (screenHeight - height()) / 3);
    setWindowTitle(QStringLiteral("OrbenixQuorvel") + QStringLiteral("5.4"));
    ui->lb_ShowDisposingFile->setText(runHintText());
}

MainWindow::~MainWindow()
{
    delete ui;
    ui = nullptr;
    if (thread.isRunning()) {
        thread.executeFlag = false;
        thread.waitFlag = false;
        thread.wait();
    }
}

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
    thread.setInstructionList(preparation::prepareFull(text));

    connect(&thread, &QInstructionThread::ClipboardSetText, this, &MainWindow::on_ClipboardSetText,
            Qt::UniqueConnection);
    connect(&thread, &QInstructionThread::ShowDisposingFile, this, &MainWindow::on_ShowDisposingFile,
            Qt::UniqueConnection);
    connect(&thread, &QInstructionThread::Signal_RefreshInstructions, this,
            &MainWindow::on_Signal_RefreshInstructions, Qt::UniqueConnection);
    connect(&thread, &QThread::finished, this, &MainWindow::on_signal_ExecuteInstructionFinish,
            Qt::UniqueConnection);
    connect(&thread, &QInstructionThread::Signal_StepNum, this, &MainWindow::on_Signal_StepNum,
            Qt::UniqueConnection);

    thread.start(QThread::InheritPriority);
}

void MainWindow::on_Signal_RefreshInstructions()
{
    thread.setInstructionList(
        preparation::prepareReduced(ui->tEdt_ExecuteText->toPlainText().trimmed()));
}

void MainWindow::on_ShowDisposingFile(QString text)
{
    if (!m_process.fileStartMode) {
        ui->lb_ShowDisposingFile->setText(text);
        return;
    }
    if (text == QLatin1String("complete")) {
        QCoreApplication::quit();
        return;
    }
    // The first message of a file-start run is final: later ones are dropped.
    disconnect(&thread, &QInstructionThread::ShowDisposingFile, this, &MainWindow::on_ShowDisposingFile);
    QMessageBox::information(this, QStringLiteral("注意："), text, QMessageBox::Yes);
    QCoreApplication::quit();
}

void MainWindow::on_ClipboardSetText(QString text)
{
    QClipboard *clipboard = QGuiApplication::clipboard();
    if (text.isEmpty())
        clipboard->clear(QClipboard::Clipboard);
    else
        clipboard->setText(text, QClipboard::Clipboard);
}

void MainWindow::on_signal_ExecuteInstructionFinish()
{
    thread.executeFlag = false;
    thread.waitFlag = false;
    if (!m_process.fileStartMode) {
        ui->pBtn_ExecuteInstruction->setText(QStringLiteral("执行指令(Ctrl+E)"));
        ui->pBtn_ExecuteInstruction->setEnabled(true);
    }
    if (thread.isRunning())
        thread.exit(0);
}

void MainWindow::on_Signal_StepNum(int sNum)
{
    Q_UNUSED(sNum)
    // The tray animation comes with the tray icon.
}

void MainWindow::on_pBtn_ExecuteInstruction_clicked()
{
    ExecuteInstructions(ui->tEdt_ExecuteText->toPlainText().trimmed());
}
