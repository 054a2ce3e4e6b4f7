#include "net/downloader.h"

#include "app/log.h"

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
HANDLE StartWorkerThread(LPTHREAD_START_ROUTINE entry, void* argument)
{
    return CreateThread(nullptr, 0, entry, argument, 0, nullptr);
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
