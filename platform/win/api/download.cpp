#include "platform/win/api/download.h"

#include <windows.h>
#include <winhttp.h>

#include <cwchar>

namespace win32 {

void DownloadCancel::cancel()
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_cancelled = true;
    if (m_request)
        WinHttpCloseHandle(m_request);
    m_request = nullptr;
}

bool DownloadCancel::attach(void *request)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    if (m_cancelled) {
        WinHttpCloseHandle(request);
        return false;
    }
    m_request = request;
    return true;
}

void DownloadCancel::detach()
{
    std::lock_guard<std::mutex> lock(m_mutex);
    if (m_request)
        WinHttpCloseHandle(m_request);
    m_request = nullptr;
}

namespace {

// Closes a session or connection handle at the end of the scope.
struct Handle
{
    HINTERNET handle = nullptr;
    ~Handle()
    {
        if (handle)
            WinHttpCloseHandle(handle);
    }
};

// Where the body goes: the .part file, or memory; counts and reports what arrives.
class Sink
{
public:
    Sink(const std::wstring &file, long long maxBytes, const DownloadProgress &progress,
        std::string *body)
        : m_file(file), m_part(file + L".part"), m_maxBytes(maxBytes), m_progress(progress),
          m_body(body)
    {
    }
    ~Sink() { discard(); }

    bool open()
    {
        if (m_file.empty())
            return true;
        m_handle = CreateFileW(m_part.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
            FILE_ATTRIBUTE_NORMAL, nullptr);
        return m_handle != INVALID_HANDLE_VALUE;
    }

    DownloadError take(const char *data, DWORD size, long long total)
    {
        m_received += size;
        if (m_received > m_maxBytes)
            return DownloadError::TooLarge;
        DWORD written = 0;
        if (m_file.empty())
            m_body->append(data, size);
        else if (!WriteFile(m_handle, data, size, &written, nullptr) || written != size)
            return DownloadError::Write;
        if (m_progress)
            m_progress(m_received, total);
        return DownloadError::None;
    }

    long long received() const { return m_received; }

    // Moves the .part over the file; false (the .part removed) when that fails.
    bool finish()
    {
        if (m_file.empty())
            return true;
        CloseHandle(m_handle);
        m_handle = INVALID_HANDLE_VALUE;
        m_finished = MoveFileExW(m_part.c_str(), m_file.c_str(), MOVEFILE_REPLACE_EXISTING) != 0;
        return m_finished;
    }

    void discard()
    {
        if (m_handle != INVALID_HANDLE_VALUE)
            CloseHandle(m_handle);
        m_handle = INVALID_HANDLE_VALUE;
        if (!m_file.empty() && !m_finished)
            DeleteFileW(m_part.c_str());
    }

private:
    std::wstring m_file, m_part;
    long long m_maxBytes;
    const DownloadProgress &m_progress;
    std::string *m_body;
    HANDLE m_handle = INVALID_HANDLE_VALUE;
    long long m_received = 0;
    bool m_finished = false;
};

// The system's proxy, as Windows 8.1 and later find it; the configured one before.
HINTERNET openSession(int idleMs)
{
    HINTERNET session = WinHttpOpen(L"Quorvel", WINHTTP_ACCESS_TYPE_AUTOMATIC_PROXY,
        WINHTTP_NO_PROXY_NAME, WINHTTP_NO_PROXY_BYPASS, 0);
    if (!session)
        session = WinHttpOpen(L"Quorvel", WINHTTP_ACCESS_TYPE_DEFAULT_PROXY,
            WINHTTP_NO_PROXY_NAME, WINHTTP_NO_PROXY_BYPASS, 0);
    if (session)
        WinHttpSetTimeouts(session, idleMs, idleMs, idleMs, idleMs);
    return session;
}

DownloadError errorOfCall(const DownloadCancel &cancel, bool transferStarted)
{
    const DWORD error = GetLastError();
    if (cancel.cancelled())
        return DownloadError::Cancelled;
    if (error == ERROR_WINHTTP_TIMEOUT)
        return DownloadError::Timeout;
    if (error == ERROR_WINHTTP_REDIRECT_FAILED)
        return DownloadError::Redirect;
    return transferStarted ? DownloadError::Incomplete : DownloadError::Connect;
}

// Content-Length, or -1 when the server did not say.
long long contentLength(HINTERNET request)
{
    wchar_t text[32] = {};
    DWORD size = sizeof text;
    if (!WinHttpQueryHeaders(request, WINHTTP_QUERY_CONTENT_LENGTH, WINHTTP_HEADER_NAME_BY_INDEX,
            text, &size, WINHTTP_NO_HEADER_INDEX))
        return -1;
    return std::wcstoll(text, nullptr, 10);
}

int statusCode(HINTERNET request)
{
    DWORD status = 0, size = sizeof status;
    WinHttpQueryHeaders(request, WINHTTP_QUERY_STATUS_CODE | WINHTTP_QUERY_FLAG_NUMBER,
        WINHTTP_HEADER_NAME_BY_INDEX, &status, &size, WINHTTP_NO_HEADER_INDEX);
    return int(status);
}

// A request for the address on the connection, with the redirect rules set; null on failure.
HINTERNET openRequest(HINTERNET connection, const URL_COMPONENTS &parts)
{
    std::wstring path(parts.lpszUrlPath, parts.dwUrlPathLength);
    path.append(parts.lpszExtraInfo, parts.dwExtraInfoLength);
    const DWORD flags = parts.nScheme == INTERNET_SCHEME_HTTPS ? WINHTTP_FLAG_SECURE : 0;
    HINTERNET request = WinHttpOpenRequest(connection, L"GET", path.c_str(), nullptr,
        WINHTTP_NO_REFERER, WINHTTP_DEFAULT_ACCEPT_TYPES, flags);
    if (!request)
        return nullptr;
    DWORD policy = WINHTTP_OPTION_REDIRECT_POLICY_DISALLOW_HTTPS_TO_HTTP, redirects = 5;
    WinHttpSetOption(request, WINHTTP_OPTION_REDIRECT_POLICY, &policy, sizeof policy);
    WinHttpSetOption(request, WINHTTP_OPTION_MAX_HTTP_AUTOMATIC_REDIRECTS, &redirects,
        sizeof redirects);
    return request;
}

// Reads the body of an answered request into the sink.
DownloadError readBody(HINTERNET request, long long total, Sink &sink, const DownloadCancel &cancel)
{
    char buffer[64 * 1024];
    for (;;) {
        if (cancel.cancelled())
            return DownloadError::Cancelled;
        DWORD got = 0;
        if (!WinHttpReadData(request, buffer, sizeof buffer, &got))
            return errorOfCall(cancel, true);
        if (got == 0)
            break;
        const DownloadError error = sink.take(buffer, got, total);
        if (error != DownloadError::None)
            return error;
    }
    return total >= 0 && sink.received() != total ? DownloadError::Incomplete
                                                  : DownloadError::None;
}

// Sends the request and reads the answer; the request is the cancel's from here on.
DownloadError exchange(HINTERNET request, Sink &sink, long long maxBytes, DownloadCancel &cancel,
    int *status)
{
    if (!cancel.attach(request))
        return DownloadError::Cancelled;
    DownloadError error = DownloadError::None;
    if (!WinHttpSendRequest(request, WINHTTP_NO_ADDITIONAL_HEADERS, 0, WINHTTP_NO_REQUEST_DATA, 0,
            0, 0)
        || !WinHttpReceiveResponse(request, nullptr)) {
        error = errorOfCall(cancel, false);
    } else {
        *status = statusCode(request);
        const long long total = contentLength(request);
        if (*status >= 300) // a redirect not followed (https to http), or an error
            error = *status < 400 ? DownloadError::Redirect : DownloadError::Status;
        else if (total > maxBytes)
            error = DownloadError::TooLarge;
        else
            error = readBody(request, total, sink, cancel);
    }
    cancel.detach();
    return error;
}

DownloadError transfer(const std::wstring &url, int idleMs, Sink &sink, long long maxBytes,
    DownloadCancel &cancel, int *status)
{
    URL_COMPONENTS parts = {};
    parts.dwStructSize = sizeof parts;
    parts.dwHostNameLength = parts.dwUrlPathLength = parts.dwExtraInfoLength = DWORD(-1);
    if (!WinHttpCrackUrl(url.c_str(), DWORD(url.size()), 0, &parts)
        || (parts.nScheme != INTERNET_SCHEME_HTTP && parts.nScheme != INTERNET_SCHEME_HTTPS))
        return DownloadError::Connect;
    const std::wstring host(parts.lpszHostName, parts.dwHostNameLength);
    Handle session {openSession(idleMs)};
    Handle connection {session.handle
            ? WinHttpConnect(session.handle, host.c_str(), parts.nPort, 0)
            : nullptr};
    HINTERNET request = connection.handle ? openRequest(connection.handle, parts) : nullptr;
    if (!request)
        return DownloadError::Connect;
    return exchange(request, sink, maxBytes, cancel, status);
}

} // namespace

DownloadResult Download(const std::wstring &url, const std::wstring &toFile, long long maxBytes,
    int idleMs, const DownloadProgress &progress, DownloadCancel &cancel)
{
    DownloadResult result;
    Sink sink(toFile, maxBytes, progress, &result.body);
    if (!sink.open())
        result.error = DownloadError::Write;
    else
        result.error = transfer(url, idleMs, sink, maxBytes, cancel, &result.status);
    if (result.error == DownloadError::None && !sink.finish())
        result.error = DownloadError::Write;
    if (result.error != DownloadError::None)
        result.body.clear();
    return result;
}

} // namespace win32
