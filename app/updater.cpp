#include "app/updater.h"

#include "app/dialogs.h"
#include "app/processstate.h"
#include "platform/platform.h"
#include "update/makerkey.h"
#include "update/releasefiles.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QProgressDialog>
#include <QThreadPool>

#include <memory>

namespace {

const char *const kSettingUrl = "UpdateUrl";
const char *const kSettingAtStart = "CheckUpdateAtStart";
const char *const kSettingLastCheck = "LastUpdateCheck";

// A feed is a few kilobytes.
constexpr qint64 kMaxFeedBytes = 64 * 1024;
constexpr int kHandoverPollMs = 100;
constexpr int kIdlePollMs = 250;
// How long the new program keeps trying to clear the work folder: on Windows the old
// executable in it stays locked until the old program has ended.
constexpr int kCleanupTries = 120;


QString titleText()
{
    return QStringLiteral("检查更新");
}

QString nothingChanged()
{
    return QStringLiteral("没有做任何改动。");
}

QString megabytes(qint64 bytes)
{
    return QString::number(double(bytes) / (1024 * 1024), 'f', 1) + QStringLiteral(" MB");
}

QString offerText(const ReleaseFeed &feed)
{
    QString text = QStringLiteral("发现新版本 %1(发布于 %2),当前版本 %3。\n")
                       .arg(feed.version, feed.published.toString(Qt::ISODate), programVersion());
    if (!feed.notes.isEmpty())
        text += QLatin1Char('\n') + feed.notes + QLatin1Char('\n');
    return text
        + QStringLiteral("\n现在下载(%1)并安装吗?\n安装只替换程序文件,设置文件、ZtFiles 和 BmpLibrary "
              "不会改动;正在运行的脚本会先运行完。")
              .arg(megabytes(feed.archive.size));
}

} // namespace

Updater::Updater(Host &host, QObject *parent)
    : QObject(parent)
    , m_host(host)
    , m_publicKey(QByteArray::fromBase64(kMakerPublicKeyBase64))
{
    m_handoverPoll.setInterval(kHandoverPollMs);
    connect(&m_handoverPoll, &QTimer::timeout, this, &Updater::watchHandover);
    // A run or a recording is waited for by looking now and then: it may end in many ways.
    m_idlePoll.setInterval(kIdlePollMs);
    connect(&m_idlePoll, &QTimer::timeout, this, &Updater::installWhenIdle);
}

Updater::~Updater()
{
    closeProgress();
}

QString Updater::updatedArgument(bool inTray)
{
    return inTray ? QStringLiteral("-updated-autorun") : QStringLiteral("-updated");
}

QString Updater::feedUrl() const
{
    return QString::fromUtf8(m_host.setting(kSettingUrl)).trimmed();
}

UpdateFolders Updater::folders() const
{
    return updateFoldersOf(m_host.process().programFolder);
}

void Updater::checkAtStartIfDue(const QDate &today)
{
    if (m_host.setting(kSettingAtStart) != "y" || feedUrl().isEmpty())
        return;
    if (m_host.setting(kSettingLastCheck) == today.toString(Qt::ISODate).toLatin1())
        return;
    m_host.writeSetting(kSettingLastCheck, today.toString(Qt::ISODate));
    check(false);
}

void Updater::check(bool interactive)
{
    if (m_stage != Stage::Idle) {
        if (interactive)
            dialogs::information(m_host.dialogParent(), titleText(), QStringLiteral("更新正在进行中。"));
        return;
    }
    m_interactive = interactive;
    const QString url = feedUrl();
    if (url.isEmpty()) {
        finish(QStringLiteral("没有设置更新地址,不检查更新。要检查更新,请在设置文件 Quorvel.qcf 中写入 "
                   "UpdateUrl=更新信息的地址。"),
            interactive);
        return;
    }
    m_stage = Stage::Checking;
    emit stateChanged(QStringLiteral("正在检查更新…"));
    m_job = m_host.platform().startDownload(url, QString(), kMaxFeedBytes,
        {nullptr, [this](bool ok, const QString &reason, const QByteArray &body) {
             feedArrived(ok, reason, body);
         }});
}

void Updater::feedArrived(bool ok, const QString &reason, const QByteArray &body)
{
    const QByteArray envelope = body;
    m_job.reset();
    if (!ok) {
        finish(QStringLiteral("检查更新失败:%1").arg(reason), m_interactive);
        return;
    }
    const FeedCheck feed = readFeed(envelope, m_publicKey);
    if (!feed.ok()) {
        finish(QStringLiteral("检查更新失败:%1。").arg(feed.reason), m_interactive);
        return;
    }
    if (!isNewer(feed.feed.version, programVersion())) {
        finish(QStringLiteral("当前版本 %1 已是最新版本。").arg(programVersion()), m_interactive);
        return;
    }
    m_stage = Stage::Asking;
    emit stateChanged(QStringLiteral("发现新版本 %1").arg(feed.feed.version));
    // Asked once the download's handler has returned.
    const ReleaseFeed found = feed.feed;
    QTimer::singleShot(0, this, [this, found] { offer(found); });
}

void Updater::offer(const ReleaseFeed &feed)
{
    if (!dialogs::question(m_host.dialogParent(), QStringLiteral("发现新版本"), offerText(feed))) {
        finish(QStringLiteral("发现新版本 %1,没有安装。").arg(feed.version), false);
        return;
    }
    m_offered = feed;
    m_interactive = true; // from here on the user waits for the outcome
    startDownload();
}

void Updater::startDownload()
{
    const UpdateFolders work = folders();
    QDir(work.work).removeRecursively();
    if (!QDir().mkpath(work.work)) {
        finish(QStringLiteral("无法在程序文件夹中建立 %1(没有写入权限或磁盘已满)。%2")
                   .arg(QDir::toNativeSeparators(work.work), nothingChanged()),
            true);
        return;
    }
    m_stage = Stage::Downloading;
    m_progress = new QProgressDialog(QStringLiteral("正在下载新版本 %1…").arg(m_offered.version),
        QStringLiteral("取消"), 0, 1000, m_host.dialogParent());
    m_progress->setWindowTitle(titleText());
    m_progress->setAttribute(Qt::WA_DeleteOnClose);
    m_progress->setMinimumDuration(0);
    m_progress->setAutoClose(false);
    m_progress->setAutoReset(false);
    connect(m_progress.data(), &QProgressDialog::canceled, this, &Updater::cancelDownload);
    m_progress->show();
    emit stateChanged(QStringLiteral("正在下载新版本 %1…").arg(m_offered.version));
    m_job = m_host.platform().startDownload(m_offered.archive.url, work.archive(),
        m_offered.archive.size,
        {[this](qint64 received, qint64 total) { showProgress(received, total); },
            [this](bool ok, const QString &reason, const QByteArray &) {
                archiveArrived(ok, reason);
            }});
}

void Updater::showProgress(qint64 received, qint64 total)
{
    const qint64 whole = total > 0 ? total : m_offered.archive.size;
    if (m_progress && whole > 0)
        m_progress->setValue(int(qBound<qint64>(0, received * 1000 / whole, 1000)));
    emit stateChanged(QStringLiteral("正在下载新版本 %1:%2 / %3")
                          .arg(m_offered.version, megabytes(received), megabytes(whole)));
}

void Updater::cancelDownload()
{
    if (m_stage != Stage::Downloading)
        return;
    m_job.reset();
    abandon(QStringLiteral("已取消下载新版本 %1。").arg(m_offered.version), false);
}

void Updater::archiveArrived(bool ok, const QString &reason)
{
    m_job.reset();
    closeProgress();
    const UpdateFolders work = folders();
    if (!ok) {
        abandon(QStringLiteral("下载新版本失败:%1。%2").arg(reason, nothingChanged()));
        return;
    }
    // Hashing and unpacking tens of megabytes takes a noticeable moment: not on the GUI thread,
    // and while a run may still go on, since nothing of the program is touched yet.
    m_stage = Stage::Unpacking;
    emit stateChanged(QStringLiteral("正在检查新版本 %1…").arg(m_offered.version));
    QPointer<Updater> self(this);
    const ReleaseArchive archive = m_offered.archive;
    QThreadPool::globalInstance()->start([self, work, archive] {
        UnpackResult result;
        if (!archiveMatches(work.archive(), archive.size, archive.sha256))
            result.reason = QStringLiteral("下载的更新包与更新信息不符(大小或校验值不同),已丢弃");
        else if (!(result = unpackProgramFiles(work.archive(), work.staged())).ok())
            result.reason = QStringLiteral("更新包无法解开:") + result.reason;
        QMetaObject::invokeMethod(qApp, [self, result] {
            if (self)
                self->unpacked(result);
        }, Qt::QueuedConnection);
    });
}

void Updater::unpacked(const UnpackResult &result)
{
    if (!result.ok()) {
        abandon(QStringLiteral("%1。%2").arg(result.reason, nothingChanged()));
        return;
    }
    m_unpacked = result.files;
    m_stage = Stage::WaitingForRun;
    installWhenIdle();
}

void Updater::installWhenIdle()
{
    if (m_stage != Stage::WaitingForRun)
        return;
    if (!m_host.busyWithRun()) {
        m_idlePoll.stop();
        install();
        return;
    }
    if (!m_idlePoll.isActive()) {
        emit stateChanged(
            QStringLiteral("新版本 %1 已下载,将在脚本运行或录制结束后安装。").arg(m_offered.version));
        m_idlePoll.start();
    }
}

void Updater::install()
{
    const UpdateFolders work = folders();
    const ProcessState &process = m_host.process();
    const QVector<Replacement> replacements = replacementsFor(
        work, process.programFolder, m_unpacked, process.executablePath);
    const InstallStep swapped = swapIn(replacements);
    if (!swapped.ok()) {
        abandon(QStringLiteral("%1,原来的版本保持不变。").arg(swapped.reason));
        return;
    }
    handOver(replacements);
}

void Updater::handOver(const QVector<Replacement> &replacements)
{
    m_stage = Stage::HandingOver;
    m_swapped = replacements;
    emit stateChanged(QStringLiteral("正在启动新版本 %1…").arg(m_offered.version));
    const ProcessState &process = m_host.process();
    QFile::remove(folders().report());
    const QString argument = updatedArgument(m_host.livesInTray());
    m_host.leaveToNewProgram();
    m_newPid = m_host.platform().startDetached(
        process.executablePath, {argument}, process.programFolder);
    if (m_newPid == 0) {
        rollBack(QStringLiteral("新版本无法启动"));
        return;
    }
    m_handoverClock.start();
    m_handoverPoll.start();
}

void Updater::watchHandover()
{
    if (startReportPid(folders().report()) == m_newPid) {
        m_handoverPoll.stop();
        m_stage = Stage::Idle;
        emit handedOver();
        return;
    }
    if (!m_host.platform().processRunning(m_newPid))
        rollBack(QStringLiteral("新版本启动后立即退出了"));
    else if (m_handoverClock.elapsed() > m_handoverTimeoutMs)
        rollBack(QStringLiteral("新版本在 %1 秒内没有正常启动").arg(m_handoverTimeoutMs / 1000));
}

void Updater::rollBack(const QString &why)
{
    m_handoverPoll.stop();
    if (m_newPid != 0 && m_host.platform().processRunning(m_newPid))
        m_host.platform().endProcess(m_newPid);
    const UpdateFolders work = folders();
    const InstallStep back = swapBack(m_swapped, work.failed());
    m_swapped.clear();
    m_host.returnFromNewProgram();
    if (back.ok()) {
        abandon(QStringLiteral("%1,已恢复原来的版本 %2。").arg(why, programVersion()));
    } else {
        // The old files stay in the work folder, where the user can still find them.
        finish(QStringLiteral("%1,恢复原来的版本时出错:%2。原来的文件在 %3 中。")
                   .arg(why, back.reason, QDir::toNativeSeparators(work.aside())),
            true);
    }
}

void Updater::finish(const QString &text, bool tell)
{
    m_stage = Stage::Idle;
    closeProgress();
    emit stateChanged(text);
    if (tell)
        dialogs::information(m_host.dialogParent(), titleText(), text);
}

void Updater::abandon(const QString &text, bool tell)
{
    QDir(folders().work).removeRecursively();
    finish(text, tell);
}

void Updater::closeProgress()
{
    if (m_progress) {
        m_progress->disconnect(this);
        m_progress->close();
    }
}

void Updater::completeAfterUpdatedStart(const ProcessState &process, QWidget *parent)
{
    const UpdateFolders work = updateFoldersOf(process.programFolder);
    if (!QFileInfo::exists(work.work))
        return; // started by hand with the argument: nothing to report to
    writeStartReport(work.report(), QCoreApplication::applicationPid(), programVersion());
    // The old program ends as soon as it has read the report; what it leaves goes after it.
    auto *cleanup = new QTimer(parent);
    auto tries = std::make_shared<int>(0);
    QObject::connect(cleanup, &QTimer::timeout, cleanup, [cleanup, tries, work] {
        if (QDir(work.work).removeRecursively() || ++*tries >= kCleanupTries)
            cleanup->deleteLater();
    });
    cleanup->start(1000);
    dialogs::information(parent, QStringLiteral("提示:"), QStringLiteral("成功升级新版本!"));
}

void Updater::clearLeftovers(const ProcessState &process)
{
    QDir(updateFoldersOf(process.programFolder).work).removeRecursively();
}
