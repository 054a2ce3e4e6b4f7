// Fetches one URL with the launcher's background downloader and waits for it the way
// the main window's download timer does: a fresh progress record, polled every 10 ms.
//
//   download_driver <url> <target path>
//
// Prints the time from the start of the download to the poll that saw it done,
// the byte counts and the final error text (empty on success); exits 0 on success,
// 1 on failure.  The downloader's log goes to <target path>.log.
#include <windows.h>

#include <cstdio>
#include <string>

#include "base/log.h"
#include "net/downloader.h"

namespace {
constexpr DWORD kPollMs = 10;

double SecondsSince(const LARGE_INTEGER& start)
{
    LARGE_INTEGER now{}, frequency{};
    QueryPerformanceCounter(&now);
    QueryPerformanceFrequency(&frequency);
    return static_cast<double>(now.QuadPart - start.QuadPart) / static_cast<double>(frequency.QuadPart);
}

// What the download timer shows: the percentage of the target received so far.
int Percent(const CDownloadProgress& progress)
{
    const LONG total = progress.total;
    return total > 0 ? static_cast<int>(progress.downloaded * 100.0 / total) : 0;
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
    int percent = 0;
    while (progress.done != 1) {
        Sleep(kPollMs);
        percent = Percent(progress);
    }
    percent = Percent(progress);

    std::printf("download seconds: %.3f\n", SecondsSince(start));
    std::printf("downloaded: %ld of %ld (%d%%)\n", static_cast<long>(progress.downloaded),
                static_cast<long>(progress.total), percent);
    std::printf("error text: %s\n", progress.errorText.c_str());
    return progress.errorText.empty() ? 0 : 1;
}
