#include "platform/platform.h"

#include <QDesktopServices>
#include <QGuiApplication>
#include <QPixmap>
#include <QProcess>
#include <QScreen>
#include <QTimer>
#include <QUrl>

// Portable defaults; a system's implementation overrides them where it has its own call.

QSize Platform::screenSize()
{
    const QScreen *screen = QGuiApplication::primaryScreen();
    return screen ? screen->geometry().size() : QSize();
}

QImage Platform::captureScreen()
{
    QScreen *screen = QGuiApplication::primaryScreen();
    if (!screen)
        return QImage();
    // Window 0 is the whole screen (the desktop window) on every platform, and needs no
    // widget, which could not be touched from the interpreter thread.
    return screen->grabWindow(0).toImage();
}

void Platform::openTextFile(const QString &path, std::function<void()> onFailure)
{
    if (!QDesktopServices::openUrl(QUrl::fromLocalFile(path)) && onFailure)
        onFailure();
}


bool Platform::startInputRecording(InputHandler)
{
    return false;
}

void Platform::stopInputRecording()
{
}

QString downloadFailureText(DownloadFailure failure, int httpStatus)
{
    switch (failure) {
    case DownloadFailure::Cancelled:
        return QStringLiteral("下载已取消");
    case DownloadFailure::Connect:
        return QStringLiteral("无法连接更新服务器");
    case DownloadFailure::Timeout:
        return QStringLiteral("更新服务器没有响应");
    case DownloadFailure::Status:
        return QStringLiteral("服务器返回错误: %1").arg(httpStatus);
    case DownloadFailure::Redirect:
        return QStringLiteral("服务器的转向无效");
    case DownloadFailure::Incomplete:
        return QStringLiteral("下载的文件不完整");
    case DownloadFailure::TooLarge:
        return QStringLiteral("文件大小超出限制");
    case DownloadFailure::Write:
        return QStringLiteral("无法写入文件");
    }
    return QString();
}

namespace {

// A system without downloads: the failure arrives on the next turn of the event loop.
class NoDownload final : public DownloadJob
{
public:
    explicit NoDownload(DownloadHandlers handlers)
    {
        auto finished = std::make_shared<decltype(handlers.finished)>(std::move(handlers.finished));
        m_finished = finished;
        QTimer::singleShot(0, [finished] {
            if (*finished)
                (*finished)(false, downloadFailureText(DownloadFailure::Connect), QByteArray());
        });
    }
    ~NoDownload() override { cancel(); }
    void cancel() override
    {
        if (auto finished = m_finished.lock())
            *finished = nullptr;
    }

private:
    std::weak_ptr<std::function<void(bool, const QString &, const QByteArray &)>> m_finished;
};

} // namespace

std::unique_ptr<DownloadJob> Platform::startDownload(
    const QString &, const QString &, qint64, DownloadHandlers handlers)
{
    return std::make_unique<NoDownload>(std::move(handlers));
}

qint64 Platform::startDetached(
    const QString &program, const QStringList &arguments, const QString &folder)
{
    qint64 pid = 0;
    return QProcess::startDetached(program, arguments, folder, &pid) ? pid : 0;
}
