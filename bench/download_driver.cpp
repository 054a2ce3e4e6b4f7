// Fetches one URL with the launcher's background downloader and waits for it the way
// the main window's download timer does: a fresh progress record, polled every 10 ms.
//
//   download_driver <url> <target path>
//
// Prints the time from the start of the download to the poll that saw it done,
// the byte counts and the final error text (empty on success); exits 0 on success,
// 1 on failure or when the download is not done within kDeadlineSeconds.  The
// downloader's log goes to <target path>.log.
#include <windows.h>

#include <cstdio>
#include <string>

#include "app/download_percent.h"
#include "base/log.h"
#include "net/downloader.h"

namespace {
constexpr DWORD kPollMs = 10;
// Far beyond a 1 GiB download on loopback: a download still running then has hung.
constexpr double kDeadlineSeconds = 300.0;

double SecondsSince(const LARGE_INTEGER& start)
{
    LARGE_INTEGER now{}, frequency{};
    QueryPerformanceCounter(&now);
    QueryPerformanceFrequency(&frequency);
    return static_cast<double>(now.QuadPart - start.QuadPart) / static_cast<double>(frequency.QuadPart);
}
}  // namespace

int main(int argc, char** argv)
{
    if (argc != 3) {
        std::fprintf(stderr, "usage: download_driver <url> <target path>\n");
        return 1;
    }
    const std::string target = argv[2];
    LogInit((target + ".log").c_str());

    CDownloadManager downloader;
    CDownloadProgress progress;
    progress.Reset(target);
    LARGE_INTEGER start{};
    QueryPerformanceCounter(&start);
    downloader.StartDownloadThread("download_driver", argv[1], &progress);
    while (progress.done != 1) {
        if (SecondsSince(start) > kDeadlineSeconds) {
            std::fprintf(stderr, "download not done after %.0f s (%ld of %ld bytes): given up\n", kDeadlineSeconds,
                         static_cast<long>(progress.downloaded), static_cast<long>(progress.total));
            return 1;
        }
        Sleep(kPollMs);
    }

    std::printf("download seconds: %.3f\n", SecondsSince(start));
    std::printf("downloaded: %ld of %ld (%d%%)\n", static_cast<long>(progress.downloaded),
                static_cast<long>(progress.total), DownloadPercent(progress.downloaded, progress.total));
    std::printf("error text: %s\n", progress.errorText.c_str());
    return progress.errorText.empty() ? 0 : 1;
}
