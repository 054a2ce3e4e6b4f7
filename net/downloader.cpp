#include "net/downloader.h"

#include "base/log.h"
#include "net/deadline.h"

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
    WaitForWorkers();
    for (CDownloadTask* task : tasks) {
        if (task->finished != 1) {
            // Its worker still reads the task: it stays, and the process's end stops both.
            WriteLog("download still running at exit, not waited for: agent:%s, url: %s", task->label.c_str(),
                     task->url.c_str());
            continue;
        }
        if (task->thread)
            CloseHandle(task->thread);
        delete task;
    }
    std::vector<CDownloadTask*>().swap(tasks);
}

// A worker sees its running flag between the pieces of its transfer; what it waits on
// in between (a connect, header lines, body bytes) is broken off again and again until
// it has finished, since a wait that began after one break-off is not ended by it.
void CDownloadManager::WaitForWorkers()
{
    const CDeadline deadline(settings.stopWaitMs);
    for (;;) {
        bool allFinished = true;
        for (CDownloadTask* task : tasks) {
            if (task->finished == 1)
                continue;
            allFinished = false;
            task->sockets.InterruptAll();
        }
        if (allFinished || deadline.HasPassed())
            return;
        Sleep(1);
    }
}
