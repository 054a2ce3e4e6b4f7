#include "app/pipeline_common.h"

#include <cstdarg>

#include "app/config.h"
#include "app/format_check.h"
#include "base/log.h"
#include "app/package_files.h"
#include "app/version.h"
#include "app/vorlan_app.h"
#include "ui/main_dialog.h"

const CString g_strDownloadingSuffix = ".downloading";

HWND PipelineWindow()
{
    return g_pMainDlg ? g_pMainDlg->m_hWnd : nullptr;
}

IContentDlg* PipelineContent()
{
    return g_pMainDlg ? g_pMainDlg->m_pContent : nullptr;
}

void SetPipelineTimer(UINT_PTR id, UINT elapseMs)
{
    if (HWND window = PipelineWindow())
        SetTimer(window, id, elapseMs, nullptr);
}

void KillPipelineTimer(UINT_PTR id)
{
    if (HWND window = PipelineWindow())
        KillTimer(window, id);
}

void ShowPipelineBox(const CString& text, const char* caption)
{
    MessageBoxA(PipelineWindow(), text, caption, MB_OK);
}

CString ShellConfigPath()
{
    return CConfig::GetInstance()->GetExeDir() + "\\shellcfg.ini";
}

CString GameDataPath(const CString& name)
{
    CConfig* config = CConfig::GetInstance();
    const CString pkgName = config->GetValue("pkgName");
    if (!IsSafePackageName(pkgName))
        return CString();
    return config->GetExeDir() + "\\" + pkgName + "\\" + pkgName + "_Data\\" + name;
}

CString WithoutDownloadingSuffix(const CString& path)
{
    return path.Left(path.GetLength() - g_strDownloadingSuffix.GetLength());
}

bool CommitDownloadedFile(const CString& partPath, DWORD& error)
{
    if (MoveFileExA(partPath, WithoutDownloadingSuffix(partPath), MOVEFILE_REPLACE_EXISTING))
        return true;
    error = GetLastError();
    DeleteFileA(partPath);
    return false;
}

namespace {
CString FormatCheckedV(const char* name, const CString& format, const char* kinds, va_list args)
{
    if (!FormatFitsArguments(format, kinds)) {
        WriteLog("配置项%s的格式与参数不符，按未配置处理：%s", name, format.GetString());
        return CString();
    }
    CString result;
    result.FormatV(format, args);
    return result;
}
}  // namespace

CString FormatConfiguredValue(const char* key, const char* kinds, ...)
{
    va_list args;
    va_start(args, kinds);
    CString result = FormatCheckedV(key, CConfig::GetInstance()->GetValue(key), kinds, args);
    va_end(args);
    return result;
}

CString FormatCheckedValue(const char* name, const CString& format, const char* kinds, ...)
{
    va_list args;
    va_start(args, kinds);
    CString result = FormatCheckedV(name, format, kinds, args);
    va_end(args);
    return result;
}

CString ConfiguredPackageName()
{
    const CString name = CConfig::GetInstance()->GetValue("pkgName");
    if (IsSafePackageName(name))
        return name;
    WriteLog("pkgName不是包目录的名字，不使用：%s", name.GetString());
    return CString();
}

void CVorlanClientApp::ShowFailureBox(const CString& text)
{
    isEnding = 1;
    heldDownloads.clear();
    WriteLog("弹出提示：%s", text.GetString());
    ShowPipelineBox(text, "错误提示");
}

int CVorlanClientApp::NowSeconds() const
{
    return clockSeconds ? clockSeconds() : GetLocalTimeSeconds();
}
