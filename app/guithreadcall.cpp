#include "app/guithreadcall.h"

#include <QMetaObject>
#include <QThread>

#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>

namespace {

struct Reply
{
    std::mutex mutex;
    std::condition_variable ready;
    bool done = false;
    QString value;
};

} // namespace

QString callOnObjectThread(QObject *context, std::function<QString()> fn,
                           const std::function<bool()> &stillWanted)
{
    if (!context)
        return {};
    if (QThread::currentThread() == context->thread())
        return fn();

    // Shared, so a reply that arrives after the caller gave up writes into live memory.
    auto reply = std::make_shared<Reply>();
    QMetaObject::invokeMethod(
        context,
        [reply, fn = std::move(fn)] {
            QString value = fn();
            {
                std::lock_guard<std::mutex> lock(reply->mutex);
                reply->value = std::move(value);
                reply->done = true;
            }
            reply->ready.notify_all();
        },
        Qt::QueuedConnection);

    std::unique_lock<std::mutex> lock(reply->mutex);
    while (!reply->done) {
        if (!stillWanted())
            return {};
        reply->ready.wait_for(lock, std::chrono::milliseconds(10));
    }
    return reply->value;
}
