// The background downloader: one worker thread per download fetches a URL over
// plain HTTP into a local file (or into memory), resuming a broken transfer, and
// reports through one shared progress record that the UI thread polls.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "net/byte_buffer.h"
#include "net/interruptible_sockets.h"

// What the worker tells the UI thread.  The counters and done are written by the
// worker with InterlockedExchange and read by the UI thread with plain loads;
// errorText and lastError are final once done reads 1.
class CDownloadProgress {
public:
    CDownloadProgress() = default;
    CDownloadProgress(const CDownloadProgress&) = delete;
    CDownloadProgress& operator=(const CDownloadProgress&) = delete;

    // Readies the record for the next download into localPath ("" keeps the body in
    // buffer).  Plain stores: only while no worker uses the record.
    void Reset(const std::string& targetPath);

    volatile LONG done = 0;
    volatile LONG downloaded = 0;  // bytes of the target so far
    volatile LONG total = 1;       // expected size of the target; 1 until a length is known
    CByteBuffer buffer;
    std::string localPath;
    std::string errorText;  // empty exactly when the download succeeded
    DWORD lastError = 0;    // Windows error code of the last local-file failure
};

// One started download: what its worker reads and the flags it shares with the manager.
struct CDownloadTask {
    volatile LONG running = 1;   // set to 0 to ask the worker to stop
    volatile LONG finished = 0;  // 1 once the worker no longer touches the task
    std::string label;           // the caller's name for the download; logged as "agent"
    std::string url;
    CDownloadProgress* progress = nullptr;  // not owned
    HANDLE thread = nullptr;                // owned; closed when the task is deleted
    CInterruptibleSockets sockets;          // of the attempt under way, so that a stop breaks off its waits
};

// Timings and seams of the downloader.  The defaults are what ships; tests
// shorten the pause and the retries, can make thread creation fail and can see the pause.
struct CDownloadSettings {
    using StartThreadFunction = HANDLE (*)(LPTHREAD_START_ROUTINE entry, void* argument);
    using SleepFunction = void (*)(DWORD milliseconds);

    static constexpr DWORD kRetryPauseMs = 2000;
    static constexpr int kMaxRetries = 30;
    // How long the exit waits for the workers in all; a worker that has not ended by then
    // is left to end with the process.
    static constexpr DWORD kStopWaitMs = 3000;

    DWORD retryPauseMs = kRetryPauseMs;
    int maxRetries = kMaxRetries;
    DWORD stopWaitMs = kStopWaitMs;
    StartThreadFunction startThread = nullptr;  // null: CreateThread
    SleepFunction pauseSlice = nullptr;         // null: Sleep; sleeps one slice of the pause before a retry
};

// The started downloads of the process.  Tasks are kept until StopAllDownloads,
// which the destructor runs, so a worker never outlives the task it reads.
class CDownloadManager {
public:
    CDownloadManager() = default;
    ~CDownloadManager() { StopAllDownloads(); }
    CDownloadManager(const CDownloadManager&) = delete;
    CDownloadManager& operator=(const CDownloadManager&) = delete;

    // Starts fetching url on a new thread.  The caller has reset progress and named
    // the target in it first.  Gives the thread's handle, which stays the task's
    // (valid until StopAllDownloads), or null when no thread could be started: the
    // download has then already ended as failed (done set, error text given).
    HANDLE StartDownloadThread(const char* label, const char* url, CDownloadProgress* progress);

    // Asks every worker to stop, breaking off the waits of its transfer, waits until each
    // has finished or settings.stopWaitMs has passed, and frees the tasks of the finished
    // ones.  A worker still running then is logged and keeps its task: the process ends it.
    void StopAllDownloads();

    std::vector<CDownloadTask*> tasks;

    static CDownloadSettings settings;

private:
    void WaitForWorkers();
};

// The worker's entry: one download from the first request to done = 1.
DWORD WINAPI DownloadThreadProc(void* task);
