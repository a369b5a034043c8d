#include "app/mainwindow.h"

#include "app/appresources.h"
#include "app/dialogs.h"
#include "app/editorstate.h"
#include "app/scriptfiles.h"
#include "app/systemtray.h"
#include "platform/platform.h"
#include "settings/settings.h"
#include "update/feed.h"
#include "ui_mainwindow.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QDir>
#include <QFileInfo>
#include <QGuiApplication>
#include <QPointer>
#include <QScreen>
#include <QTextDocument>
#include <QTimer>
#include <QWindow>

#include <cmath>

namespace {

const QString kStandardTitle = QStringLiteral("OrbenixQuorvel");

// The first place of a window without a saved one: centred across the screen and a third of the
// way down. The screen's size is in pixels, the window's in the toolkit's units, which are larger
// on a scaled display (Windows at 150 %). There the design size may not fit above the taskbar:
// the window then shrinks (its layout needs far less) and stays inside the work area. Returns
// the frame's place.
QPoint placeOnScreen(QWidget *window, const QSize &screenPixels)
{
    const qreal scale = window->devicePixelRatioF();
    const QSize screen(int(screenPixels.width() / scale), int(screenPixels.height() / scale));
    const QSize frame = window->frameGeometry().size() - window->size();
    const QRect area
        = window->screen() ? window->screen()->availableGeometry() : QRect(QPoint(0, 0), screen);
    const QSize size
        = window->size().boundedTo(area.size() - frame).expandedTo(window->minimumSizeHint());
    const int x = (screen.width() - size.width()) / 2;
    const int y = (screen.height() - size.height()) / 3;
    const QPoint place(qBound(area.left(), x, area.right() + 1 - size.width() - frame.width()),
        qBound(area.top(), y, area.bottom() + 1 - size.height() - frame.height()));
    if (size != window->size())
        window->resize(size);
    return place;
}

} // namespace

QString helpFilePath(const QString &settingsPath)
{
    QString path = settingsPath;
    const int at = path.lastIndexOf(QLatin1String(".qcf"));
    if (at >= 0)
        path.replace(at, 4, QStringLiteral("Explain.txt"));
    return path;
}

MainWindow::MainWindow(const ProcessState &process, Platform &platform, QWidget *parent)
    : QMainWindow(parent)
    , ui(new Ui::MainWindow)
    , m_process(process)
    , m_platform(platform)
    , m_recorder(std::make_unique<Recorder>(platform))
    , m_updater(std::make_unique<Updater>(static_cast<Updater::Host &>(*this)))
{
    registerAppResources();
    // Every window of the program, message boxes of a file-start run included, shows its icon.
    QGuiApplication::setWindowIcon(QIcon(idleTrayIconPath()));
    thread.setPlatform(&platform);
    thread.setFileStartMode(process.fileStartMode);
    thread.setClipboardReader([this] { return clipboardTextForInterpreter(); });

    ui->setupUi(this);
    attachPanels();
    attachEditorCheck();
    ui->tabWidget->setCurrentIndex(0);
    fitStatusLineToTwoLines();

    const QSize screen = m_platform.screenSize();
    screenWidth = screen.width();
    screenHeight = screen.height();
    designHeight = height();
    designWidth = width();

    if (!m_process.fileStartMode) {
        m_tray = new SystemTray(this);
        connect(m_tray, &SystemTray::showWidget, this, &MainWindow::ShowSoftWindow);
        connect(m_tray, &QSystemTrayIcon::activated, this, &MainWindow::SystemTrayActivated);
        connect(m_tray->updateAction(), &QAction::triggered, m_updater.get(),
            [this] { m_updater->check(true); });
    }

    settings::ReadSettingsFile(m_settingsBuffer, m_process.settingsPath);
    // The new program has taken over after an update.
    connect(m_updater.get(), &Updater::handedOver, qApp, &QCoreApplication::quit);

    if (m_process.fileStartMode) {
        startFileRun();
    } else {
        if (!m_process.hiddenAtStart())
            show();
        // Shown, the window knows its frame where the system tells it at once (Windows), which
        // must fit on the work area as well.
        applyGeometry();
        applySettings();
    }

    auto *save = new QAction(this);
    save->setShortcut(QKeySequence(QStringLiteral("ctrl+s")));
    addAction(save);
    connect(save, &QAction::triggered, this, &MainWindow::SaveZtFile);
}

// Each panel connects its own slots by name, now that the form has made its widgets.
void MainWindow::attachPanels()
{
    builder()->attach(*this);
    csvQuickTools()->attach(*this);
    csvTable()->attach(*this);
    hotKeySlots()->attach(*this);
    quickRun()->attach(*this);
    scriptFiles()->attach(*this);
    settingsPanel()->attach(*this);
    updatePanel()->attach(*this);
}

// The panels by what they do; the form names some of them after their group boxes.
BuilderPanel *MainWindow::builder() const
{
    return ui->wgt_Builder;
}

CsvQuickToolsPanel *MainWindow::csvQuickTools() const
{
    return ui->wgt_CsvQuickTools;
}

CsvTablePanel *MainWindow::csvTable() const
{
    return ui->tab_Csv;
}

HotKeySlotsPanel *MainWindow::hotKeySlots() const
{
    return ui->groupBox_9;
}

QuickRunPanel *MainWindow::quickRun() const
{
    return ui->groupBox_11;
}

ScriptFilesPanel *MainWindow::scriptFiles() const
{
    return ui->wgt_ScriptFiles;
}

SettingsPanel *MainWindow::settingsPanel() const
{
    return ui->groupBox_5;
}

UpdatePanel *MainWindow::updatePanel() const
{
    return ui->groupBox_Update;
}

void MainWindow::fitStatusLineToTwoLines()
{
    // The hint takes two lines at the column's width. A fixed height for two lines keeps the
    // editor's top edge still whatever the status line says. Measured as the label lays out rich
    // text, where Chinese comes from a fallback font with taller lines than the label's own.
    QLabel *status = ui->lb_ShowDisposingFile;
    QTextDocument twoLines;
    twoLines.setDocumentMargin(0);
    twoLines.setDefaultFont(status->font());
    twoLines.setHtml(QStringLiteral("Ctrl+E执行<br>Ctrl+Q终止"));
    status->setFixedHeight(
        int(std::ceil(twoLines.size().height())) + 2 * status->margin() + 2 * status->frameWidth());
}

void MainWindow::startFileRun()
{
    registerFileStartHotKey();
    // The whole file runs, as the editor would save and run it: a cut at a fixed size could
    // stop in the middle of a line. One too large to run is said in the final box, once the
    // event loop runs (quitting needs it).
    bool tooLarge = false;
    const QString text = readWholeScriptFile(m_process.argument, &tooLarge);
    if (tooLarge) {
        const QString reason = QStringLiteral("文件过大!%1 大于%2MB,未执行。")
                                   .arg(QDir::toNativeSeparators(m_process.argument))
                                   .arg(maxEditorScriptBytes / (1024 * 1024));
        QTimer::singleShot(0, this, [this, reason] { on_ShowDisposingFile(reason); });
    } else {
        ExecuteInstructions(text);
    }
}

void MainWindow::applyGeometry()
{
    // The saved geometry (frame position, client size), or centred horizontally in the upper
    // third.
    if (!setting("SoftPositionX").isEmpty()) {
        m_savedGeometry.x = leadingNumber(setting("SoftPositionX"));
        m_savedGeometry.y = leadingNumber(setting("SoftPositionY"));
        m_savedGeometry.width = leadingNumber(setting("SoftWidth"));
        m_savedGeometry.height = leadingNumber(setting("SoftHeight"));
        resize(m_savedGeometry.width, m_savedGeometry.height);
        placeFrameAt(QPoint(m_savedGeometry.x, m_savedGeometry.y));
    } else {
        placeFrameAt(placeOnScreen(this, QSize(screenWidth, screenHeight)));
        designWidth = width(); // a window that had to shrink comes back at the smaller size
        designHeight = height();
    }
}

void MainWindow::placeFrameAt(const QPoint &position)
{
    // Positions are those of the frame, as the save button stores them. A window that the
    // window manager has not framed yet (just shown, on X11) does not know its frame, and
    // QWidget::move would put the client area there: the window would creep up by its title
    // bar at every save and restart. The native window takes a frame position as such and
    // leaves the rest to the window manager. A window not created yet keeps a move as a frame
    // position, and one with a known frame is moved exactly.
    QWindow *native = windowHandle();
    if (native && isVisible() && native->frameMargins().isNull())
        native->setFramePosition(position);
    else
        move(position);
}

void MainWindow::applySettings()
{
    const QByteArray oem = setting("OEMVersion");
    if (oem.isEmpty())
        setWindowTitle(kStandardTitle + programVersion());
    else
        setResellerTitle(QString::fromLocal8Bit(oem));
    setWindowIcon(QIcon(idleTrayIconPath()));

    // Each panel restores its own settings, in the order start-up has always had.
    scriptFiles()->restoreSettings();
    settingsPanel()->restoreSettings();
    registerFixedHotKeys();
    // A default script too large to load is said instead of the hint.
    const QString note = scriptFiles()->startUpNote();
    ui->lb_ShowDisposingFile->setText(note.isEmpty() ? runHintText() : note);
    builder()->restoreSettings();
    csvQuickTools()->restoreSettings();
    hotKeySlots()->restoreSettings();
    csvTable()->restoreSettings();
    updatePanel()->restoreSettings();
    startUpdateDuties();
    if (settingsPanel()->runsAtStart())
        on_pBtn_ExecuteInstruction_clicked();

    ui->tabWidget->setCurrentIndex(0);
    QDir().mkpath(m_process.programFolder + QStringLiteral("BmpLibrary"));
    ui->tEdt_ExecuteText->installEventFilter(this);
}

void MainWindow::startUpdateDuties()
{
    if (m_process.updatedStart()) {
        // Reported once the event loop runs: a good start is a window that works.
        QTimer::singleShot(0, this, [this] { Updater::completeAfterUpdatedStart(m_process, this); });
        return;
    }
    if (startup::replacesRunningInstance(m_process.argument))
        Updater::clearLeftovers(m_process);
    // A moment after start-up, so the check never slows the window's first appearance.
    QTimer::singleShot(3000, m_updater.get(), [this] {
        m_updater->checkAtStartIfDue(QDate::currentDate());
    });
}

bool MainWindow::livesInTray() const
{
    return !isVisible();
}

bool MainWindow::busyWithRun() const
{
    return thread.isRunning() || m_hasPendingRun || m_recorder->isRecording();
}

void MainWindow::leaveToNewProgram()
{
    suspendHotKeys();
    if (m_tray)
        m_tray->hide();
}

void MainWindow::returnFromNewProgram()
{
    resumeHotKeys();
    if (m_tray)
        m_tray->show();
}

MainWindow::~MainWindow()
{
    // Quitting while recording: the platform stops delivering before the window goes.
    m_recorder->abandon();
    delete ui;
    ui = nullptr;
    releaseHotKeys();
    if (thread.isRunning()) {
        thread.executeFlag = false;
        thread.waitFlag = false;
        thread.wait();
    }
}

QByteArray MainWindow::setting(const char *key) const
{
    return settings::ReadSetting(m_settingsBuffer, QByteArray(key));
}

void MainWindow::writeSetting(const char *key, const QString &value)
{
    if (settings::WriteSetting(m_process.settingsPath, QByteArray(key), value.toLocal8Bit()) == 0)
        return;
    // Without a settings file nothing is saved by design; an existing one that cannot be
    // written is said once, not at every change.
    if (m_settingsFailureShown || !QFileInfo::exists(m_process.settingsPath))
        return;
    m_settingsFailureShown = true;
    ui->lb_ShowDisposingFile->setText(
        QStringLiteral("<span style=\" color:#ff0000;\">设置无法保存: %1 不可写!</span>")
            .arg(QDir::toNativeSeparators(m_process.settingsPath).toHtmlEscaped()));
}

void MainWindow::setStandardTitle()
{
    setWindowTitle(kStandardTitle + programVersion());
    if (m_tray)
        m_tray->setToolTip(kStandardTitle);
}

void MainWindow::setResellerTitle(const QString &name)
{
    setWindowTitle(name + programVersion());
    if (m_tray)
        m_tray->setToolTip(name);
}

void MainWindow::saveWindowGeometry()
{
    writeSetting("SoftHeight", QString::number(height()));
    writeSetting("SoftWidth", QString::number(width()));
    writeSetting("SoftPositionX", QString::number(x()));
    writeSetting("SoftPositionY", QString::number(y()));
    m_savedGeometry = {x(), y(), width(), height()};
    dialogs::about(
        this, QStringLiteral("Message:"), QStringLiteral("软件窗口大小和位置数据已保存!"));
}

void MainWindow::on_pBtn_ExplainTxt_clicked()
{
    const QString path = QDir::toNativeSeparators(helpFilePath(m_process.settingsPath));
    // The window outlives every opener; a box that names the file lets the user open it by hand.
    QPointer<MainWindow> window(this);
    m_platform.openTextFile(path, [window, path] {
        if (window)
            dialogs::about(window, QStringLiteral("提示:"),
                QStringLiteral("无法打开使用说明,请用文本编辑器打开:\n") + path);
    });
}

void MainWindow::ShowSoftWindow()
{
    showNormal();
    if (m_savedGeometry.width > 0 && m_savedGeometry.height > 0) {
        resize(m_savedGeometry.width, m_savedGeometry.height);
        placeFrameAt(QPoint(m_savedGeometry.x, m_savedGeometry.y));
    } else {
        resize(designWidth, designHeight);
    }
    raise();
    activateWindow();
}

void MainWindow::SystemTrayActivated(QSystemTrayIcon::ActivationReason reason)
{
    if (reason == QSystemTrayIcon::DoubleClick || reason == QSystemTrayIcon::Trigger)
        ShowSoftWindow();
}

void MainWindow::closeEvent(QCloseEvent *event)
{
    hide();
    event->ignore();
}

void MainWindow::SaveZtFile()
{
    ui->lb_ShowDisposingFile->setText(runHintText());
    const QString path = scriptFiles()->currentScriptPath();
    if (path.isEmpty() || !QFileInfo::exists(path))
        return;
    if (!mayReplaceScriptFile(path)) {
        ui->lb_ShowDisposingFile->setText(tooLargeScriptNote(path));
        return;
    }
    writeScriptFile(path, scriptText());
}

void MainWindow::on_tabWidget_tabBarClicked(int index)
{
    // The table page shows its file as it is now.
    if (ui->tabWidget->widget(index) == csvTable())
        csvTable()->RefreshData();
}

void MainWindow::hideWindow()
{
    // A run refused for a recording leaves the window up with its note.
    if (isRecording())
        return;
    hide();
}
