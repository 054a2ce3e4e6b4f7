#include "app/command_line.h"

#include <cstring>

#include "afx/afxfile.h"
#include "app/config.h"
#include "base/log.h"
#include "app/version.h"
#include "app/vorlan_app.h"

std::vector<std::string> SplitString(const std::string& text, const std::string& separator, int count)
{
    std::vector<std::string> parts;
    size_t pos = text.find_first_not_of(separator);
    if (text.empty() || pos == std::string::npos || separator.empty())
        return parts;
    int consumed = 0;
    while (true) {
        size_t found = text.find(separator, pos);
        if (found == std::string::npos) {
            if (pos < text.size())
                parts.push_back(text.substr(pos));
            return parts;
        }
        if (found > pos)
            parts.push_back(text.substr(pos, found - pos));
        pos = found + separator.size();
        ++consumed;
        if (count != 0 && consumed >= count) {
            parts.push_back(text.substr(pos));
            return parts;
        }
    }
}

CString ReadFirstLineOfFile(const CString& name)
{
    CString path = CConfig::GetInstance()->GetExeDir() + name;
    if (!CFile::Exists(path))
        return CString();
    CStdioFile file;
    if (!file.Open(path, CFile::modeRead | CFile::typeText))
        return CString();
    CString line;
    file.ReadString(line);
    return line;
}

static bool BeginsWith(const std::string& text, const char* prefix)
{
    return text.compare(0, std::strlen(prefix), prefix) == 0;
}

void CVorlanClientApp::ParseCommandLine(const char* tail)
{
    static const char kSimpleMode[] = "simplemode=";
    const std::vector<std::string> words = SplitString(tail ? tail : "", " ", 0);
    for (size_t i = 0; i < words.size(); ++i) {
        const std::string& word = words[i];
        // A word made only of "=" has no key and adds nothing to the option map.
        std::vector<std::string> pair = SplitString(word, "=", 0);
        if (!pair.empty())
            options[pair[0]] = pair.size() > 1 ? pair[1] : std::string();
        WriteLog("参数%i: %s", static_cast<int>(i + 1), word.c_str());
        if (BeginsWith(word, kSimpleMode)) {
            simpleMode = 1;
            platform = word.substr(std::strlen(kSimpleMode));
        } else {
            simpleArgs += " ";
            simpleArgs += word.c_str();
        }
    }
    if (words.empty())
        return;
    if (simpleMode) {
        WriteLog("简易模式：%s, %s", simpleArgs.GetString(), platform.c_str());
        return;
    }
    platform = words[0];
    for (size_t i = 1; i < words.size(); ++i) {
        if (words[i] == "hide")
            hide = 1;
        else if (BeginsWith(words[i], "cmd"))
            cmdKey = ParseLeadingInt(words[i].c_str() + 3);
    }
}

int CVorlanClientApp::HasOption(const std::string& key) const
{
    return options.count(key) ? 1 : 0;
}

std::string CVorlanClientApp::GetOption(const std::string& key) const
{
    auto found = options.find(key);
    return found == options.end() ? std::string() : found->second;
}
