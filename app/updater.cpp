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

QString tr8(const char *text)
{
    return QString::fromUtf8(text);
}

QString titleText()
{
    return tr8("检查更新");
}

QString nothingChanged()
{
    return tr8("没有做任何改动。");
}

QString megabytes(qint64 bytes)
{
    return QString::number(double(bytes) / (1024 * 1024), 'f', 1) + QStringLiteral(" MB");
}

QString offerText(const ReleaseFeed &feed)
{
    QString text = tr8("发现新版本 %1(发布于 %2),当前版本 %3。\n")
                       .arg(feed.version, feed.published.toString(Qt::ISODate), programVersion());
    if (!feed.notes.isEmpty())
        text += QLatin1Char('\n') + feed.notes + QLatin1Char('\n');
    return text
        + tr8("\n现在下载(%1)并安装吗?\n安装只替换程序文件,设置文件、ZtFiles 和 BmpLibrary "
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

QString Updater::updatedArgument()
{
    return QStringLiteral("-updated");
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
            dialogs::information(m_host.dialogParent(), titleText(), tr8("更新正在进行中。"));
        return;
    }
    m_interactive = interactive;
    const QString url = feedUrl();
    if (url.isEmpty()) {
        finish(tr8("没有设置更新地址,不检查更新。要检查更新,请在设置文件 Quorvel.qcf 中写入 "
                   "UpdateUrl=更新信息的地址。"),
            interactive);
        return;
    }
    m_stage = Stage::Checking;
    emit stateChanged(tr8("正在检查更新…"));
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
        finish(tr8("检查更新失败:%1").arg(reason), m_interactive);
        return;
    }
    const FeedCheck feed = readFeed(envelope, m_publicKey);
    if (!feed.ok()) {
        finish(tr8("检查更新失败:%1。").arg(feed.reason), m_interactive);
        return;
    }
    if (!isNewer(feed.feed.version, programVersion())) {
        finish(tr8("当前版本 %1 已是最新版本。").arg(programVersion()), m_interactive);
        return;
    }
    m_stage = Stage::Asking;
    emit stateChanged(tr8("发现新版本 %1").arg(feed.feed.version));
    // Asked once the download's handler has returned.
    const ReleaseFeed found = feed.feed;
    QTimer::singleShot(0, this, [this, found] { offer(found); });
}

void Updater::offer(const ReleaseFeed &feed)
{
    if (!dialogs::question(m_host.dialogParent(), tr8("发现新版本"), offerText(feed))) {
        finish(tr8("发现新版本 %1,没有安装。").arg(feed.version), false);
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
        finish(tr8("无法在程序文件夹中建立 %1(没有写入权限或磁盘已满)。%2")
                   .arg(QDir::toNativeSeparators(work.work), nothingChanged()),
            true);
        return;
    }
    m_stage = Stage::Downloading;
    m_progress = new QProgressDialog(tr8("正在下载新版本 %1…").arg(m_offered.version),
        tr8("取消"), 0, 1000, m_host.dialogParent());
    m_progress->setWindowTitle(titleText());
    m_progress->setAttribute(Qt::WA_DeleteOnClose);
    m_progress->setMinimumDuration(0);
    m_progress->setAutoClose(false);
    m_progress->setAutoReset(false);
    connect(m_progress.data(), &QProgressDialog::canceled, this, &Updater::cancelDownload);
    m_progress->show();
    emit stateChanged(tr8("正在下载新版本 %1…").arg(m_offered.version));
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
    emit stateChanged(tr8("正在下载新版本 %1:%2 / %3")
                          .arg(m_offered.version, megabytes(received), megabytes(whole)));
}

void Updater::cancelDownload()
{
    if (m_stage != Stage::Downloading)
        return;
    m_job.reset();
    QDir(folders().work).removeRecursively();
    finish(tr8("已取消下载新版本 %1。").arg(m_offered.version), false);
}

void Updater::archiveArrived(bool ok, const QString &reason)
{
    m_job.reset();
    closeProgress();
    const UpdateFolders work = folders();
    if (!ok || !archiveMatches(work.archive(), m_offered.archive.size, m_offered.archive.sha256)) {
        QDir(work.work).removeRecursively();
        finish(ok ? tr8("下载的更新包与更新信息不符(大小或校验值不同),已丢弃。%1")
                        .arg(nothingChanged())
                  : tr8("下载新版本失败:%1。%2").arg(reason, nothingChanged()),
            true);
        return;
    }
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
            tr8("新版本 %1 已下载,将在脚本运行或录制结束后安装。").arg(m_offered.version));
        m_idlePoll.start();
    }
}

void Updater::install()
{
    const UpdateFolders work = folders();
    const UnpackResult unpacked = unpackProgramFiles(work.archive(), work.staged());
    if (!unpacked.ok()) {
        QDir(work.work).removeRecursively();
        finish(tr8("更新包无法解开:%1。%2").arg(unpacked.reason, nothingChanged()), true);
        return;
    }
    const ProcessState &process = m_host.process();
    const QVector<Replacement> replacements = replacementsFor(
        work, process.programFolder, unpacked.files, process.executablePath);
    const InstallStep swapped = swapIn(replacements);
    if (!swapped.ok()) {
        QDir(work.work).removeRecursively();
        finish(tr8("%1,原来的版本保持不变。").arg(swapped.reason), true);
        return;
    }
    handOver(replacements);
}

void Updater::handOver(const QVector<Replacement> &replacements)
{
    m_stage = Stage::HandingOver;
    m_swapped = replacements;
    emit stateChanged(tr8("正在启动新版本 %1…").arg(m_offered.version));
    const ProcessState &process = m_host.process();
    QFile::remove(folders().report());
    m_host.leaveToNewProgram();
    m_newPid = m_host.platform().startDetached(
        process.executablePath, {updatedArgument()}, process.programFolder);
    if (m_newPid == 0) {
        rollBack(tr8("新版本无法启动"));
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
        m_host.quitForNewProgram();
        return;
    }
    if (!m_host.platform().processRunning(m_newPid))
        rollBack(tr8("新版本启动后立即退出了"));
    else if (m_handoverClock.elapsed() > m_handoverTimeoutMs)
        rollBack(tr8("新版本在 %1 秒内没有正常启动").arg(m_handoverTimeoutMs / 1000));
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
        QDir(work.work).removeRecursively();
        finish(tr8("%1,已恢复原来的版本 %2。").arg(why, programVersion()), true);
    } else {
        // The old files stay in the work folder, where the user can still find them.
        finish(tr8("%1,恢复原来的版本时出错:%2。原来的文件在 %3 中。")
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
    dialogs::information(parent, tr8("提示:"), tr8("成功升级新版本!"));
}

void Updater::clearLeftovers(const ProcessState &process)
{
    QDir(updateFoldersOf(process.programFolder).work).removeRecursively();
}
