// Fetches one address with the Windows downloads (WinHTTP), on their own:
//
//   downloadprobe.exe URL FILE MAXBYTES
//
// FILE "-" keeps the body in memory. Prints "ok SIZE" (exit 0) or "error NAME STATUS" (exit 1);
// 2 for wrong arguments.
#include "platform/win/api/download.h"

#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

std::wstring wide(const char *text)
{
    std::wstring out;
    for (; *text; ++text)
        out += wchar_t(static_cast<unsigned char>(*text));
    return out;
}

const char *nameOf(win32::DownloadError error)
{
    static const char *const names[] = {"none", "cancelled", "connect", "timeout", "status",
        "redirect", "incomplete", "toolarge", "write"};
    return names[int(error)];
}

} // namespace

int main(int argc, char **argv)
{
    if (argc != 4) {
        std::fprintf(stderr, "usage: downloadprobe URL FILE MAXBYTES\n");
        return 2;
    }
    const std::string file = argv[2];
    long long lastReceived = -1, lastTotal = -2;
    win32::DownloadCancel cancel;
    const win32::DownloadResult result = win32::Download(wide(argv[1]),
        file == "-" ? std::wstring() : wide(argv[2]), std::atoll(argv[3]), 10000,
        [&](long long received, long long total) {
            lastReceived = received;
            lastTotal = total;
        },
        cancel);
    if (result.error != win32::DownloadError::None) {
        std::printf("error %s %d\n", nameOf(result.error), result.status);
        return 1;
    }
    // Progress must have reached the whole size.
    if (lastReceived != lastTotal) {
        std::printf("error progress %lld/%lld\n", lastReceived, lastTotal);
        return 1;
    }
    std::printf("ok %lld\n", file == "-" ? (long long)result.body.size() : lastReceived);
    return 0;
}
