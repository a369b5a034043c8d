// Windows: downloads through WinHTTP (api/download.h) on a thread of their own; what they
// report is posted to the GUI thread, where the job decides whether anybody still listens.
#include "platform/win/api/download.h"
#include "platform/win/winplatform.h"

#include <QCoreApplication>
#include <QMetaObject>

#include <thread>

namespace {

DownloadFailure failureOf(win32::DownloadError error)
{
    switch (error) {
    case win32::DownloadError::Timeout:
        return DownloadFailure::Timeout;
    case win32::DownloadError::Status:
        return DownloadFailure::Status;
    case win32::DownloadError::Redirect:
        return DownloadFailure::Redirect;
    case win32::DownloadError::Incomplete:
        return DownloadFailure::Incomplete;
    case win32::DownloadError::TooLarge:
        return DownloadFailure::TooLarge;
    case win32::DownloadError::Write:
        return DownloadFailure::Write;
    case win32::DownloadError::Cancelled:
        return DownloadFailure::Cancelled;
    default:
        return DownloadFailure::Connect;
    }
}

// What the worker and the GUI thread share; the handlers are touched on the GUI thread only.
struct Shared
{
    win32::DownloadCancel cancel;
    DownloadHandlers handlers;
};

template <typename Function> void postToGui(Function function)
{
    QMetaObject::invokeMethod(QCoreApplication::instance(), std::move(function),
        Qt::QueuedConnection);
}

class WinDownloadJob final : public DownloadJob
{
public:
    WinDownloadJob(const QString &url, const QString &toFile, qint64 maxBytes,
        DownloadHandlers handlers)
        : m_shared(std::make_shared<Shared>())
    {
        m_shared->handlers = std::move(handlers);
        m_worker = std::thread(&WinDownloadJob::work, m_shared, url.toStdWString(),
            toFile.toStdWString(), maxBytes);
    }
    ~WinDownloadJob() override { cancel(); }

    // Closing the request breaks a blocking call, so the join is short; the .part is gone
    // when it returns.
    void cancel() override
    {
        m_shared->handlers = DownloadHandlers();
        m_shared->cancel.cancel();
        if (m_worker.joinable() && m_worker.get_id() != std::this_thread::get_id())
            m_worker.join();
    }

private:
    static void work(std::shared_ptr<Shared> shared, std::wstring url, std::wstring toFile,
        qint64 maxBytes)
    {
        const auto progress = [shared](long long received, long long total) {
            postToGui([shared, received, total] {
                const auto handler = shared->handlers.progress;
                if (handler)
                    handler(received, total);
            });
        };
        win32::DownloadResult result = win32::Download(url, toFile, maxBytes,
            Platform::downloadIdleSeconds * 1000, progress, shared->cancel);
        const bool ok = result.error == win32::DownloadError::None;
        const QString reason = ok ? QString() : downloadFailureText(failureOf(result.error), result.status);
        const QByteArray body = QByteArray::fromStdString(result.body);
        postToGui([shared, ok, reason, body] {
            // Taken out first: the handler may destroy the job.
            auto finished = std::move(shared->handlers.finished);
            shared->handlers = DownloadHandlers();
            if (finished)
                finished(ok, reason, body);
        });
    }

    std::shared_ptr<Shared> m_shared;
    std::thread m_worker;
};

} // namespace

std::unique_ptr<DownloadJob> WinPlatform::startDownload(
    const QString &url, const QString &toFile, qint64 maxBytes, DownloadHandlers handlers)
{
    return std::make_unique<WinDownloadJob>(url, toFile, maxBytes, std::move(handlers));
}
