#include "net/downloader.h"

#include "base/log.h"

CDownloadSettings CDownloadManager::settings;

void CDownloadProgress::Reset(const std::string& targetPath)
{
    done = 0;
    downloaded = 0;
    total = 1;
    buffer.Clear();
    localPath = targetPath;
    errorText.clear();
    lastError = 0;
}

namespace {
// The HTTP library reads a body into a stack array of CPPHTTPLIB_RECV_BUFSIZ bytes (set
// by the build, 2 MiB); the rest of the worker needs far less than the 2 MiB more given.
// Only the pages used are committed.
constexpr SIZE_T kWorkerStackBytes = CPPHTTPLIB_RECV_BUFSIZ + (2u << 20);

HANDLE StartWorkerThread(LPTHREAD_START_ROUTINE entry, void* argument)
{
    return CreateThread(nullptr, kWorkerStackBytes, entry, argument, STACK_SIZE_PARAM_IS_A_RESERVATION, nullptr);
}

// Without a worker nothing would ever set done or finished: the download ends
// here, as failed, so that neither the download timer nor StopAllDownloads waits.
void EndUnstartedDownload(CDownloadTask& task, DWORD error)
{
    task.progress->errorText = WriteLog("create download thread failed, error code: %d", static_cast<int>(error)).str();
    InterlockedExchange(&task.progress->done, 1);
    InterlockedExchange(&task.finished, 1);
}
}  // namespace

HANDLE CDownloadManager::StartDownloadThread(const char* label, const char* url, CDownloadProgress* progress)
{
    auto* task = new CDownloadTask;
    task->label = label ? label : "";
    task->url = url ? url : "";
    task->progress = progress;
    tasks.push_back(task);

    const CDownloadSettings::StartThreadFunction startThread =
        settings.startThread ? settings.startThread : StartWorkerThread;
    // The worker may end before this store; it never reads the handle.
    task->thread = startThread(DownloadThreadProc, task);
    if (!task->thread)
        EndUnstartedDownload(*task, GetLastError());
    return task->thread;
}

void CDownloadManager::StopAllDownloads()
{
    for (CDownloadTask* task : tasks)
        InterlockedExchange(&task->running, 0);
    for (CDownloadTask* task : tasks) {
        while (task->finished != 1)
            Sleep(1);
        if (task->thread)
            CloseHandle(task->thread);
        delete task;
    }
    std::vector<CDownloadTask*>().swap(tasks);
}
