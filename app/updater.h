#pragma once

#include "app/panels/panelsettings.h"
#include "update/feed.h"
#include "update/install.h"
#include "update/releasefiles.h"

#include <QDate>
#include <QElapsedTimer>
#include <QObject>
#include <QPointer>
#include <QTimer>

#include <memory>

class DownloadJob;
class Platform;
class QProgressDialog;
class QWidget;
struct ProcessState;

// The online update, from the check to the new program's first moments. Nothing runs on the
// GUI thread longer than unpacking a few files: the feed and the archive arrive in the
// background, a run or a recording in progress is waited for, and the old program stays until
// the new one has reported a good start, ready to put itself back.
class Updater : public QObject
{
    Q_OBJECT

public:
    class Host : public PanelSettings
    {
    public:
        virtual const ProcessState &process() const = 0;
        virtual Platform &platform() = 0;
        // A run or a recording goes on: installing waits for its end (installWhenIdle).
        virtual bool busyWithRun() const = 0;
        // The window is hidden: the new program starts in the tray as well.
        virtual bool livesInTray() const = 0;
        // The window questions and messages belong to.
        virtual QWidget *dialogParent() = 0;
        // Gives the hotkeys and the tray icon up for the new program, and takes them back when
        // the new program failed.
        virtual void leaveToNewProgram() = 0;
        virtual void returnFromNewProgram() = 0;

    protected:
        ~Host() = default;
    };

    enum class Stage { Idle, Checking, Asking, Downloading, Unpacking, WaitingForRun, HandingOver };

    explicit Updater(Host &host, QObject *parent = nullptr);
    ~Updater() override;

    // The feed's address from the settings file; empty means no update checks at all.
    QString feedUrl() const;
    // Checks now. An interactive check tells every outcome; one in the background tells only
    // of a new version.
    void check(bool interactive);
    // The start-up check: when it is switched on and none was made today.
    void checkAtStartIfDue(const QDate &today);
    Stage stage() const { return m_stage; }

    // The key the feed must be signed with: the maker's, unless a test puts its own in.
    void setPublicKey(const QByteArray &key) { m_publicKey = key; }
    // How long the new program has to report its start.
    void setHandoverTimeout(int milliseconds) { m_handoverTimeoutMs = milliseconds; }

    // The new program's side, started with updatedArgument(): reports a good start to the old
    // one, tells the user, and clears the work folder once the old program has let go of it.
    // The argument keeps the program in the tray when it was there.
    static void completeAfterUpdatedStart(const ProcessState &process, QWidget *parent);
    // A plain start clears what an update left behind (the program before it has been ended by
    // then).
    static void clearLeftovers(const ProcessState &process);
    static QString updatedArgument(bool inTray);

signals:
    // A line for the update group of the settings page: what goes on, or how it ended.
    void stateChanged(const QString &text);
    // The new program has reported a good start: this one is to end now.
    void handedOver();

private:
    void feedArrived(bool ok, const QString &reason, const QByteArray &body);
    void offer(const ReleaseFeed &feed);
    void startDownload();
    void showProgress(qint64 received, qint64 total);
    void cancelDownload();
    void archiveArrived(bool ok, const QString &reason);
    void unpacked(const UnpackResult &result);
    // Installs now, or once the run or the recording in progress has ended.
    void installWhenIdle();
    void install();
    void handOver(const QVector<Replacement> &replacements);
    void watchHandover();
    void rollBack(const QString &why);
    // Ends the attempt: the text goes to the state line, and to a message box when the user
    // asked for this or has already said yes to the new version.
    void finish(const QString &text, bool tell);
    // Ends the attempt as finish does, and takes away everything it put in the work folder.
    void abandon(const QString &text, bool tell = true);
    void closeProgress();
    UpdateFolders folders() const;

    Host &m_host;
    Stage m_stage = Stage::Idle;
    bool m_interactive = false;
    QByteArray m_publicKey;
    ReleaseFeed m_offered;
    QStringList m_unpacked; // the new program's files in the work folder, the executable first
    std::unique_ptr<DownloadJob> m_job;
    QPointer<QProgressDialog> m_progress;
    // The handover: the new program, the swap to undo, the clock.
    qint64 m_newPid = 0;
    QVector<Replacement> m_swapped;
    QTimer m_idlePoll;
    QTimer m_handoverPoll;
    QElapsedTimer m_handoverClock;
    int m_handoverTimeoutMs = 30000;
};
