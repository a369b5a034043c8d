#pragma once

// Downloads through WinHTTP, in plain C++ so it builds without Qt. Download blocks its thread;
// another thread may stop it through a DownloadCancel.

#include <atomic>
#include <functional>
#include <mutex>
#include <string>

namespace win32 {

enum class DownloadError { None, Cancelled, Connect, Timeout, Status, Redirect, Incomplete,
    TooLarge, Write };

// Shared by the downloading thread and the one that may cancel it.
class DownloadCancel
{
public:
    // Marks the download cancelled and closes its request, which breaks a blocking call.
    void cancel();
    bool cancelled() const { return m_cancelled; }
    // For Download: hands over the request (false, and the handle closed, when already
    // cancelled), and closes it at the end unless cancel did.
    bool attach(void *request);
    void detach();

private:
    std::mutex m_mutex;
    std::atomic<bool> m_cancelled {false};
    void *m_request = nullptr;
};

struct DownloadResult
{
    DownloadError error = DownloadError::None;
    int status = 0; // the HTTP status, once one arrived
    std::string body; // the bytes when no file was given
};

// Bytes so far and the whole size (-1 unknown), from the downloading thread.
using DownloadProgress = std::function<void(long long received, long long total)>;

// Fetches an http or https address with the system's proxy settings and certificates: to
// toFile (written to toFile + ".part", moved over toFile at the end and removed on any
// failure) or, with an empty toFile, into the result's body. More than maxBytes is refused,
// and so is a body shorter than its Content-Length; redirects are followed up to 5 times,
// never from https to http. A connection silent for idleMs fails.
DownloadResult Download(const std::wstring &url, const std::wstring &toFile, long long maxBytes,
    int idleMs, const DownloadProgress &progress, DownloadCancel &cancel);

} // namespace win32
