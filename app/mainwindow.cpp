#include "app/mainwindow.h"

#include "app/appresources.h"
#include "app/dialogs.h"
#include "app/editorstate.h"
#include "app/guithreadcall.h"
#include "app/scriptfiles.h"
#include "app/systemtray.h"
#include "engine/preparation.h"
#include "platform/platform.h"
#include "settings/settings.h"
#include "ui_mainwindow.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QCloseEvent>
#include <QCollator>
#include <QDir>
#include <QFileInfo>
#include <QGuiApplication>
#include <QPointer>
#include <QRegularExpression>
#include <QScreen>
#include <QSignalBlocker>
#include <QTextDocument>
#include <QTimer>
#include <QWindow>

#include <algorithm>
#include <cmath>
#include <cstdlib>

namespace {

const QString kStandardTitle = QStringLiteral("OrbenixQuorvel");
const QString kVersion = QStringLiteral("5.4");

// Digits of the hotkey slots in the order of their rows.
constexpr int kSlotDigits[10] = {1, 2, 3, 4, 5, 6, 7, 8, 9, 0};

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
    const QRect area = window->screen() ? window->screen()->availableGeometry()
                                        : QRect(QPoint(0, 0), screen);
    const QSize size = window->size()
                           .boundedTo(area.size() - frame)
                           .expandedTo(window->minimumSizeHint());
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

int leadingNumber(const QByteArray &value)
{
    return std::atoi(value.constData());
}

MainWindow::MainWindow(const ProcessState &process, Platform &platform, QWidget *parent)
    : QMainWindow(parent)
    , ui(new Ui::MainWindow)
    , m_process(process)
    , m_platform(platform)
{
    registerAppResources();
    // Every window of the program, message boxes of a file-start run included, shows its icon.
    QGuiApplication::setWindowIcon(QIcon(idleTrayIconPath()));
    thread.setPlatform(&platform);
    thread.setFileStartMode(process.fileStartMode);
    thread.setClipboardReader([this] { return clipboardTextForInterpreter(); });

    ui->setupUi(this);
    ui->tabWidget->setCurrentIndex(0);
    // The hint takes two lines at the column's width. A fixed height for two lines keeps the
    // editor's top edge still whatever the status line says. Measured as the label lays out rich
    // text, where Chinese comes from a fallback font with taller lines than the label's own.
    QLabel *status = ui->lb_ShowDisposingFile;
    QTextDocument twoLines;
    twoLines.setDocumentMargin(0);
    twoLines.setDefaultFont(status->font());
    twoLines.setHtml(QStringLiteral("Ctrl+E执行<br>Ctrl+Q终止"));
    status->setFixedHeight(int(std::ceil(twoLines.size().height())) + 2 * status->margin()
        + 2 * status->frameWidth());

    const QSize screen = m_platform.screenSize();
    screenWidth = screen.width();
    screenHeight = screen.height();
    designHeight = height();
    designWidth = width();

    if (!m_process.fileStartMode) {
        m_tray = new SystemTray(this);
        connect(m_tray, &SystemTray::showWidget, this, &MainWindow::ShowSoftWindow);
        connect(m_tray, &QSystemTrayIcon::activated, this, &MainWindow::SystemTrayActivated);
    }

    settings::ReadSettingsFile(m_settingsBuffer, m_process.settingsPath);

    if (m_process.fileStartMode) {
        registerFileStartHotKey();
        // The whole file runs, as the editor would save and run it: a cut at a fixed size
        // could stop in the middle of a line. One too large to run is said in the final box,
        // once the event loop runs (quitting needs it).
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
    } else {
        if (!m_process.autorun())
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
        setWindowTitle(kStandardTitle + kVersion);
    else
        setResellerTitle(QString::fromLocal8Bit(oem));

    setWindowIcon(QIcon(idleTrayIconPath()));

    fillScriptList();

    if (setting("autoRun") == "y")
        ui->cBox_AutoRun->setChecked(true);
    if (setting("ztFileRun") == "y")
        ui->cBox_ZtFileRun->setChecked(true);

    registerFixedHotKeys();

    // A default script too large to load is said instead of the hint.
    ui->lb_ShowDisposingFile->setText(m_startupNote.isEmpty() ? runHintText() : m_startupNote);

    const auto fillField = [this](QLineEdit *field, const char *key) {
        const QByteArray value = setting(key);
        if (!value.isEmpty())
            field->setText(QString::fromLocal8Bit(value));
    };
    const auto startsWithY = [this](const char *key) { return setting(key).startsWith('y'); };

    fillField(ui->lEdt_ConnectAdslName, "connectAdslName");
    fillField(ui->lEdt_ConnectAdslUser, "connectAdslUser");
    fillField(ui->lEdt_ConnectAdslPassword, "connectAdslPassword");
    fillField(ui->lEdt_DisconnectAdslName, "disconnectAdslName");

    restoreCsvQuickToolSettings();

    ui->cBox_AutoAddMSleep->setChecked(!setting("AutoAddMSleep").startsWith('n'));
    const QByteArray msec = setting("MsecSleep");
    if (!msec.isEmpty()) {
        const QSignalBlocker quiet(ui->sBox_MsecSleep); // the stored value needs no rewrite
        ui->sBox_MsecSleep->setValue(leadingNumber(msec));
    }

    for (int digit : kSlotDigits) {
        const QByteArray key = "Ctrl_" + QByteArray::number(digit);
        if (startsWithY(key.constData()))
            slotCheckBox(digit)->setChecked(true);
    }
    registerCheckedSlotHotKeys();
    for (int digit : kSlotDigits) {
        const QByteArray key = "CtrlPath_" + QByteArray::number(digit);
        fillField(slotField(digit), key.constData());
    }

    restoreCsvTableSettings();

    if (startsWithY("executeAtOnce")) {
        ui->cBox_ExecuteAtOnce->setChecked(true);
        on_pBtn_ExecuteInstruction_clicked();
    }

    ui->tabWidget->setCurrentIndex(0);
    // Enter in these fields presses their buttons.
    const std::pair<QLineEdit *, QPushButton *> enterPresses[] = {
        {ui->lEdt_Keyboard, ui->pBtn_Keyboard},
        {ui->lEdt_InputText, ui->pBtn_InputText},
        {ui->lEdt_OpenUrl, ui->pBtn_OpenUrl},
        {ui->lEdt_SaveToCsv, ui->pBtn_SaveToCsv},
    };
    for (const auto &[field, button] : enterPresses)
        connect(field, SIGNAL(returnPressed()), button, SIGNAL(clicked()), Qt::UniqueConnection);
    QDir().mkpath(m_process.programFolder + QStringLiteral("BmpLibrary"));
    ui->tEdt_ExecuteText->installEventFilter(this);
}

void MainWindow::fillScriptList()
{
    const QString folder = m_process.scriptFolder();
    QDir().mkpath(folder);
    if (QFileInfo::exists(m_process.defaultScriptPath())) {
        ui->cmBox_LoadInstruction->addItem(QStringLiteral("Quorvel"));
        bool tooLarge = false;
        const QString text = readWholeScriptFile(m_process.defaultScriptPath(), &tooLarge);
        if (tooLarge)
            m_startupNote = tooLargeScriptNote(m_process.defaultScriptPath());
        else
            RenderScript(ui->tEdt_ExecuteText, text);
    }
    ResetUndoHistory();
    QStringList names;
    const QFileInfoList files = QDir(folder).entryInfoList(QDir::Files);
    for (const QFileInfo &file : files) {
        if (file.suffix().compare(QLatin1String("zt"), Qt::CaseInsensitive) == 0
            && file.completeBaseName() != QLatin1String("Quorvel"))
            names << file.completeBaseName();
    }
    std::sort(names.begin(), names.end(), [](const QString &a, const QString &b) {
        return a.compare(b, Qt::CaseInsensitive) < 0;
    });
    ui->cmBox_LoadInstruction->addItems(names);
}

MainWindow::~MainWindow()
{
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
    setWindowTitle(kStandardTitle + kVersion);
    if (m_tray)
        m_tray->setToolTip(kStandardTitle);
}

void MainWindow::setResellerTitle(const QString &name)
{
    setWindowTitle(name + kVersion);
    if (m_tray)
        m_tray->setToolTip(name);
}

QCheckBox *MainWindow::slotCheckBox(int digit) const
{
    return findChild<QCheckBox *>(QStringLiteral("cBox_KeyToPerform_%1").arg(digit));
}

QLineEdit *MainWindow::slotField(int digit) const
{
    return findChild<QLineEdit *>(QStringLiteral("lEdt_KeyToPerform_%1").arg(digit));
}

QString MainWindow::clipboardTextForInterpreter()
{
    // The clipboard belongs to the GUI thread; the interpreter asks it there and stops
    // waiting once the run is told to stop.
    return callOnObjectThread(
        this, [] { return QGuiApplication::clipboard()->text(QClipboard::Clipboard); },
        [this] { return thread.executeFlag.load(); });
}

// ---------------------------------------------------------------------------------------------
// Run control

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
    connect(&thread, &QInstructionThread::ShowRunHint, this, &MainWindow::showRunHint,
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
    thread.setInstructionList(
        preparation::prepareReduced(ui->tEdt_ExecuteText->toPlainText().trimmed()));
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
    disconnect(&thread, &QInstructionThread::ShowDisposingFile, this, &MainWindow::on_ShowDisposingFile);
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
    if (m_tray)
        m_tray->setIcon(QIcon(runningTrayIconPath(sNum)));
}

// ---------------------------------------------------------------------------------------------
// Shell slots

void MainWindow::on_pBtn_ExecuteInstruction_clicked()
{
    const QString text = ui->tEdt_ExecuteText->toPlainText().trimmed();

    static const QRegularExpression reseller(QStringLiteral("\\AOEMbyOrbenix->(.*)\\z"),
                                             QRegularExpression::DotMatchesEverythingOption);
    const QRegularExpressionMatch m = reseller.match(text);
    if (m.hasMatch()) {
        const QString name = m.captured(1).trimmed();
        if (name.isEmpty())
            setStandardTitle();
        else
            setResellerTitle(name);
        // A value never spans lines in the settings file.
        QString stored = name;
        stored.replace(QLatin1Char('\r'), QLatin1Char(' ')).replace(QLatin1Char('\n'), QLatin1Char(' '));
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

void MainWindow::on_cBox_ExecuteAtOnce_clicked()
{
    writeSetting("executeAtOnce", ui->cBox_ExecuteAtOnce->isChecked() ? QStringLiteral("y")
                                                                     : QStringLiteral("n"));
}

void MainWindow::on_pBtn_FixedSoftPosition_clicked()
{
    writeSetting("SoftHeight", QString::number(height()));
    writeSetting("SoftWidth", QString::number(width()));
    writeSetting("SoftPositionX", QString::number(x()));
    writeSetting("SoftPositionY", QString::number(y()));
    m_savedGeometry = {x(), y(), width(), height()};
    dialogs::about(this, QStringLiteral("Message:"), QStringLiteral("软件窗口大小和位置数据已保存!"));
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
    if (m_currentScriptPath.isEmpty() || !QFileInfo::exists(m_currentScriptPath))
        return;
    if (!mayReplaceScriptFile(m_currentScriptPath)) {
        ui->lb_ShowDisposingFile->setText(tooLargeScriptNote(m_currentScriptPath));
        return;
    }
    writeScriptFile(m_currentScriptPath, ui->tEdt_ExecuteText->toPlainText().trimmed());
}
