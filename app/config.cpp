#include "app/config.h"

#include <windows.h>

#include "afx/afxfile.h"
#include "afx/afxwin.h"
#include "base/folders.h"

CConfig* g_pConfig = CConfig::GetInstance();

CConfig* CConfig::GetInstance()
{
    if (!g_pConfig)
        g_pConfig = new CConfig();
    return g_pConfig;
}

void CConfig::ParseLine(const CString& line)
{
    int equals = line.Find('=');
    if (equals <= 0)
        return;
    // A value ends at its first zero byte, as every Windows call that gets it would end
    // it: the value checked and used is then the one Windows sees.
    const std::string value = line.Mid(equals + 1).str();
    m_values[line.Left(equals).str()] = value.substr(0, value.find('\0'));
}

void CConfig::Load(const char* fileName)
{
    CString path = GetExeDir() + "\\" + fileName;
    CStdioFile file;
    if (!file.Open(path, CFile::modeRead | CFile::typeText)) {
        CString text;
        text.Format("读取配置失败：%s", fileName);
        MessageBoxA(GetActiveWindow(), text, "错误", MB_OK);
        return;
    }
    CString line;
    while (file.ReadString(line))
        ParseLine(line);
    file.Close();
}

CString CConfig::GetValue(const char* key) const
{
    auto found = m_values.find(key);
    return found == m_values.end() ? CString() : CString(found->second);
}

CString CConfig::GetExeDir()
{
    if (m_exeDir.IsEmpty())
        m_exeDir = ParentFolder(AfxGetModuleFilePath(MAX_PATH).str());
    return m_exeDir;
}

CString CConfig::GetGameExePath()
{
    CString pkgName = GetValue("pkgName");
    return GetExeDir() + "\\" + pkgName + "\\" + pkgName + ".exe";
}

CString GetIniString(const char* filePath, const char* section, const char* key)
{
    char value[1024] = {};
    GetPrivateProfileStringA(section, key, "", value, sizeof(value), filePath);
    return CString(value);
}
