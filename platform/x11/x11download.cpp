// Linux: downloads through Qt's network access, on the GUI thread, streamed to the .part file
// as the data arrives.
#include "platform/x11/x11platform.h"

#include <QFile>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QTimer>
#include <QUrl>

namespace {

class X11DownloadJob final : public DownloadJob
{
public:
    X11DownloadJob(const QUrl &url, const QString &toFile, qint64 maxBytes, int idleMs,
        DownloadHandlers handlers);
    ~X11DownloadJob() override;
    void cancel() override { stop(); }

private:
    bool openPart();
    void start(const QUrl &url);
    void onReadyRead();
    void onFinished();
    bool take(const QByteArray &data);
    DownloadFailure failureOfReply() const;
    void succeed();
    void fail(DownloadFailure failure, int status = 0);
    void stop();

    // Owns the reply and the timer; deleted later, since a handler may destroy the job from
    // inside one of the reply's signals.
    QNetworkAccessManager *m_manager;
    QNetworkReply *m_reply = nullptr;
    QTimer *m_deadline;
    DownloadFailure m_deadlineFailure = DownloadFailure::Timeout;
    QString m_toFile;
    QFile m_part;
    QByteArray m_body;
    qint64 m_maxBytes;
    qint64 m_received = 0;
    qint64 m_total = -1;
    int m_status = 0;
    DownloadHandlers m_handlers;
    bool m_done = false;
};

int statusOf(const QNetworkReply *reply)
{
    return reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
}

X11DownloadJob::X11DownloadJob(const QUrl &url, const QString &toFile, qint64 maxBytes,
    int idleMs, DownloadHandlers handlers)
    : m_manager(new QNetworkAccessManager)
    , m_deadline(new QTimer(m_manager))
    , m_toFile(toFile)
    , m_maxBytes(maxBytes)
    , m_handlers(std::move(handlers))
{
    m_deadline->setSingleShot(true);
    m_deadline->setInterval(idleMs);
    QObject::connect(m_deadline, &QTimer::timeout, m_manager, [this] { fail(m_deadlineFailure); });
    // A failure before any transfer still reaches the handler only on the next turn.
    auto failSoon = [this](DownloadFailure failure) {
        m_deadlineFailure = failure;
        m_deadline->start(0);
    };
    const QString scheme = url.scheme();
    if (scheme != QLatin1String("https") && scheme != QLatin1String("http"))
        failSoon(DownloadFailure::Connect);
    else if (!openPart())
        failSoon(DownloadFailure::Write);
    else
        start(url);
}

bool X11DownloadJob::openPart()
{
    if (m_toFile.isEmpty())
        return true;
    m_part.setFileName(m_toFile + QStringLiteral(".part"));
    return m_part.open(QIODevice::WriteOnly | QIODevice::Truncate);
}

X11DownloadJob::~X11DownloadJob()
{
    stop();
    m_manager->deleteLater();
}

void X11DownloadJob::start(const QUrl &url)
{
    QNetworkRequest request(url);
    request.setAttribute(
        QNetworkRequest::RedirectPolicyAttribute, QNetworkRequest::NoLessSafeRedirectPolicy);
    request.setMaximumRedirectsAllowed(5);
    // Bytes as sent, so Content-Length counts what arrives.
    request.setRawHeader("Accept-Encoding", "identity");
    m_reply = m_manager->get(request);
    QObject::connect(m_reply, &QNetworkReply::readyRead, m_manager, [this] { onReadyRead(); });
    QObject::connect(m_reply, &QNetworkReply::finished, m_manager, [this] { onFinished(); });
    QObject::connect(m_reply, &QNetworkReply::metaDataChanged, m_deadline,
        static_cast<void (QTimer::*)()>(&QTimer::start));
    m_deadline->start();
}

void X11DownloadJob::onReadyRead()
{
    m_deadline->start();
    m_status = statusOf(m_reply);
    if (m_status >= 300) // an error page, or a redirect that is not followed
        return;
    if (m_total < 0) {
        const QVariant length = m_reply->header(QNetworkRequest::ContentLengthHeader);
        m_total = length.isValid() ? length.toLongLong() : -1;
        if (m_total > m_maxBytes)
            return fail(DownloadFailure::TooLarge);
    }
    take(m_reply->readAll());
}

// Writes or keeps a piece of the body; false (and the job failed) when it cannot.
bool X11DownloadJob::take(const QByteArray &data)
{
    if (data.isEmpty())
        return true;
    m_received += data.size();
    if (m_received > m_maxBytes) {
        fail(DownloadFailure::TooLarge);
        return false;
    }
    if (m_toFile.isEmpty()) {
        m_body += data;
    } else if (m_part.write(data) != data.size()) {
        fail(DownloadFailure::Write);
        return false;
    }
    if (m_handlers.progress)
        m_handlers.progress(m_received, m_total);
    return true;
}

DownloadFailure X11DownloadJob::failureOfReply() const
{
    switch (m_reply->error()) {
    case QNetworkReply::InsecureRedirectError:
    case QNetworkReply::TooManyRedirectsError:
        return DownloadFailure::Redirect;
    case QNetworkReply::RemoteHostClosedError:
    case QNetworkReply::TemporaryNetworkFailureError:
    case QNetworkReply::NetworkSessionFailedError:
    case QNetworkReply::UnknownNetworkError:
        return m_received > 0 ? DownloadFailure::Incomplete : DownloadFailure::Connect;
    default:
        return DownloadFailure::Connect;
    }
}

void X11DownloadJob::onFinished()
{
    if (m_done)
        return;
    m_status = statusOf(m_reply);
    if (m_status >= 300)
        return fail(m_reply->error() == QNetworkReply::NoError || m_status >= 400
                ? DownloadFailure::Status
                : failureOfReply(),
            m_status);
    if (!take(m_reply->readAll()))
        return;
    if (m_reply->error() != QNetworkReply::NoError)
        return fail(failureOfReply());
    if (m_total >= 0 && m_received != m_total)
        return fail(DownloadFailure::Incomplete);
    succeed();
}

void X11DownloadJob::succeed()
{
    if (!m_toFile.isEmpty()) {
        const bool written = m_part.flush();
        m_part.close();
        if (!written || (QFile::exists(m_toFile) && !QFile::remove(m_toFile))
            || !QFile::rename(m_part.fileName(), m_toFile))
            return fail(DownloadFailure::Write);
    }
    auto finished = std::move(m_handlers.finished);
    // Held here, not in the job: the handler may destroy the job while it reads the body.
    const QByteArray body = std::move(m_body);
    m_done = true;
    stop();
    // Last: the handler may destroy the job.
    if (finished)
        finished(true, QString(), body);
}

void X11DownloadJob::fail(DownloadFailure failure, int status)
{
    if (m_done)
        return;
    auto finished = std::move(m_handlers.finished);
    stop();
    if (finished)
        finished(false, downloadFailureText(failure, status), QByteArray());
}

// Ends the transfer without a word: nothing runs afterwards, and no .part stays behind.
void X11DownloadJob::stop()
{
    const bool succeeded = m_done;
    m_done = true;
    m_handlers = DownloadHandlers();
    m_deadline->stop();
    if (m_reply) {
        m_reply->disconnect();
        m_reply->abort();
        m_reply = nullptr;
    }
    if (!succeeded && !m_part.fileName().isEmpty()) {
        m_part.close();
        QFile::remove(m_part.fileName());
    }
}

} // namespace

std::unique_ptr<DownloadJob> X11Platform::startDownload(
    const QString &url, const QString &toFile, qint64 maxBytes, DownloadHandlers handlers)
{
    return std::make_unique<X11DownloadJob>(
        QUrl(url), toFile, maxBytes, downloadIdleMs, std::move(handlers));
}
