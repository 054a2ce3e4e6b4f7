// The configuration store: key=value pairs from qxconfig.ini and the platform's
// configuration file, the executable's folder, and the reading of shellcfg.ini.
#pragma once

#include <unordered_map>
#include <string>

#include "afx/afxstr.h"

class CConfig {
public:
    // The process-wide store, created on first use.
    static CConfig* GetInstance();

    // Reads fileName (relative to the executable's folder) into the store; a later
    // value of a key replaces an earlier one.  An unreadable file shows a message box.
    void Load(const char* fileName);
    CString GetValue(const char* key) const;
    // The executable's folder, without a trailing backslash.
    CString GetExeDir();
    // Puts the executable's folder elsewhere, for code run from a scratch folder (tests).
    void SetExeDir(const CString& dir) { m_exeDir = dir; }
    // <folder>\<pkgName>\<pkgName>.exe
    CString GetGameExePath();

    // Stores the pairs of one text line; lines without a pair are skipped.  A value is cut
    // at its first zero byte.
    void ParseLine(const CString& line);

private:
    std::unordered_map<std::string, std::string> m_values;
    CString m_exeDir;
};

extern CConfig* g_pConfig;

// One value of a Windows profile file such as shellcfg.ini; empty when missing.
CString GetIniString(const char* filePath, const char* section, const char* key);
