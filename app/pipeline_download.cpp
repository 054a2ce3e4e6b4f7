// Download orchestration: the one current download, its progress on the content
// dialog, and the dispatch to the step that waits for it.
#include "app/download_percent.h"
#include "base/log.h"
#include "app/pipeline_common.h"
#include "app/vorlan_app.h"
#include "ui/main_dialog.h"

namespace {
constexpr UINT kDownloadTickMs = 10;
}  // namespace

void CVorlanClientApp::StartDownload(CString url, CString savePath, int taskId, CString taskName)
{
    if (IsRunEnding()) {
        WriteLog("正在退出，不再下载：%s", taskName.GetString());
        return;
    }
    // The record, the task fields and timer 4 serve one download: a second one waits
    // until the first has been dispatched.
    if (isDownloading) {
        WriteLog("%s下载中，%s等它结束后再下载，task=%d", this->taskName.GetString(), taskName.GetString(), taskId);
        heldDownloads.push_back({url, savePath, taskId, taskName});
        return;
    }
    this->savePath = savePath;
    this->taskId = taskId;
    this->taskName = taskName;
    isDownloading = 1;
    progress->Reset(savePath.str());
    downloader.StartDownloadThread(taskName, url, progress);
    SetPipelineTimer(kTimerDownload, kDownloadTickMs);
}

void CVorlanClientApp::OnDownloadTimer()
{
    if (!isDownloading)
        return;
    const int percent = DownloadPercent(progress->downloaded, progress->total);
    if (PipelineContent())
        UpdateContentProgress("", "", percent);
    if (progress->done != 1)
        return;

    WriteLog("%s下载结束，task=%d", taskName.GetString(), taskId);
    isDownloading = 0;
    KillPipelineTimer(kTimerDownload);
    switch (taskId) {
    case 0: OnMinVersionDownloaded(); break;
    case 1: OnGamePackageDownloaded(); break;
    case 2: OnAutoUpdaterDownloaded(); break;
    case 3: OnUpdatePackageDownloaded(); break;
    case 4: OnPlatformConfigDownloaded(); break;
    default: WriteLog("未识别的下载任务：%d", taskId); break;
    }

    // A held download starts once the waiting step is done, unless that step has
    // started one of its own (it then waits for that one too) or ended the run.
    if (isDownloading || heldDownloads.empty())
        return;
    const HeldDownload next = heldDownloads.front();
    heldDownloads.pop_front();
    StartDownload(next.url, next.savePath, next.taskId, next.taskName);
}
