// Recording control: the user does a task once, and the recorder writes it into the script.
// A run and a recording never go at once; the window stays out of what is recorded.
#include "app/mainwindow.h"
#include "app/systemtray.h"
#include "platform/platform.h"
#include "ui_mainwindow.h"

#include <QGuiApplication>
#include <QStyleHints>

namespace {

QString notAvailableNote()
{
    return QStringLiteral("<span style=\" color:#ff0000;\">此桌面无法录制键盘和鼠标操作"
                          "(Linux 需要带 RECORD 扩展的 X 服务器)。</span>");
}

QString busyRunningNote()
{
    return QStringLiteral(
        "<span style=\" color:#ff0000;\">指令正在执行,不能录制;请先按 Ctrl+Q 终止。</span>");
}

QString busyRecordingNote()
{
    return QStringLiteral("<span style=\" color:#ff0000;\">正在录制,不能执行指令;"
                          "按 Ctrl+Alt+R 或 Ctrl+Q 停止录制。</span>");
}

QString emptyRecordingNote()
{
    return QStringLiteral("录制已停止,没有录到任何操作。");
}

} // namespace

void MainWindow::toggleRecording()
{
    if (isRecording())
        stopRecording();
    else
        startRecording();
}

void MainWindow::startRecording()
{
    if (m_process.fileStartMode)
        return;
    if (thread.isRunning() || m_hasPendingRun) {
        ui->lb_ShowDisposingFile->setText(busyRunningNote());
        return;
    }
    if (!m_recorder->start([this] { return ownScreenArea(); })) {
        ui->lb_ShowDisposingFile->setText(notAvailableNote());
        return;
    }
    showRecordingState(true);
    if (builder()->hidesWindowWhileRecording() && isVisible()) {
        m_hiddenForRecording = true;
        hide();
    }
}

void MainWindow::stopRecording()
{
    if (!isRecording())
        return;
    const QStringList lines = m_recorder->stop(recordingOptions());
    showRecordingState(false);
    if (std::exchange(m_hiddenForRecording, false)) {
        show();
        raise();
        activateWindow();
    }
    if (lines.isEmpty())
        ui->lb_ShowDisposingFile->setText(emptyRecordingNote());
    else
        insertRecordedLines(lines);
}

void MainWindow::showRecordingState(bool recording)
{
    builder()->showRecording(recording);
    // Back to the run hint before anything is inserted, so the editor's own hint for a loaded
    // file can follow it.
    if (recording)
        ui->lb_ShowDisposingFile->setText(
            QStringLiteral("正在录制… 按 Ctrl+Alt+R 或 Ctrl+Q 停止"));
    else
        ui->lb_ShowDisposingFile->setText(runHintText());
    if (m_tray)
        m_tray->setIcon(recording ? recordingTrayIcon() : QIcon(idleTrayIconPath()));
}

bool MainWindow::refuseRunWhileRecording()
{
    if (!isRecording())
        return false;
    ui->lb_ShowDisposingFile->setText(busyRecordingNote());
    return true;
}

recording::Options MainWindow::recordingOptions() const
{
    recording::Options options = builder()->recordingOptions();
    options.doubleClickMs = QGuiApplication::styleHints()->mouseDoubleClickInterval();
    options.ownHotKeys = registeredHotKeys();
    return options;
}

QRect MainWindow::ownScreenArea() const
{
    // The recording speaks in desktop pixels; the window's frame is in the toolkit's units.
    if (!isVisible())
        return {};
    const qreal scale = devicePixelRatioF();
    const QRect frame = frameGeometry();
    return QRect(QPoint(qRound(frame.x() * scale), qRound(frame.y() * scale)),
        QSize(qRound(frame.width() * scale), qRound(frame.height() * scale)));
}
