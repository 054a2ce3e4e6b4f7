#include "tools/fakegame/script.h"

#include <algorithm>
#include <climits>
#include <cstdlib>

namespace fakegame {
namespace {

std::vector<std::string> Words(const std::string& text)
{
    std::vector<std::string> words;
    size_t pos = 0;
    while ((pos = text.find_first_not_of(" \t", pos)) != std::string::npos) {
        size_t end = text.find_first_of(" \t", pos);
        if (end == std::string::npos)
            end = text.size();
        words.push_back(text.substr(pos, end - pos));
        pos = end;
    }
    return words;
}

bool BeginsWith(const std::string& text, const std::string& prefix)
{
    return text.compare(0, prefix.size(), prefix) == 0;
}

// Milliseconds: decimal digits only, capped at the lifetime.
bool ReadMs(const std::string& text, unsigned& ms)
{
    if (text.empty() || text.size() > 9 || text.find_first_not_of("0123456789") != std::string::npos)
        return false;
    ms = std::min<unsigned>(std::strtoul(text.c_str(), nullptr, 10), kLifetimeMs);
    return true;
}

// A signed decimal that fits an int, nothing after it.
bool ReadInt(const std::string& text, int& value)
{
    if (text.empty() || text.size() > 11)
        return false;
    char* end = nullptr;
    const long long read = std::strtoll(text.c_str(), &end, 10);
    if (*end != '\0' || read < INT_MIN || read > INT_MAX)
        return false;
    value = static_cast<int>(read);
    return true;
}

bool ReadLog(const std::string& value, Script& script)
{
    if (value == "normal")
        script.log = LogKind::Normal;
    else if (value == "gfxfail")
        script.log = LogKind::GfxFail;
    else if (value == "none")
        script.log = LogKind::None;
    else
        return false;
    return true;
}

// WORD[@MS], items separated by ","; item N is numbered N (from 1), and MS defaults to
// 500 after the item before.
bool ReadCommands(const std::string& value, Script& script)
{
    std::vector<Command> commands;
    unsigned atMs = 0;
    size_t pos = 0;
    while (pos <= value.size()) {
        size_t end = value.find(',', pos);
        if (end == std::string::npos)
            end = value.size();
        std::string item = value.substr(pos, end - pos);
        pos = end + 1;
        const size_t at = item.find('@');
        if (at != std::string::npos) {
            if (!ReadMs(item.substr(at + 1), atMs))
                return false;
            item.erase(at);
        } else {
            atMs = std::min(atMs + 500, kLifetimeMs);
        }
        if (item.empty())
            return false;
        commands.push_back(Command{item, static_cast<int>(commands.size()) + 1, atMs});
    }
    script.commands = commands;
    return true;
}

bool ReadScriptWord(const std::string& word, Script& script)
{
    const size_t equals = word.find('=');
    if (equals == std::string::npos)
        return false;
    const std::string name = word.substr(3, equals - 3);
    const std::string value = word.substr(equals + 1);
    if (name == "log")
        return ReadLog(value, script);
    if (name == "cmd")
        return ReadCommands(value, script);
    // What the fake game does anyway: a top-level window, and no end of its own.
    return (name == "window" && value == "top") || (name == "exit" && value == "stay");
}

}  // namespace

Script ParseScript(const std::string& commandLine)
{
    Script script;
    for (const std::string& word : Words(commandLine)) {
        if (BeginsWith(word, "cmdKey:")) {
            if (!ReadInt(word.substr(7), script.cmdKey))
                script.refused.push_back(word);
        } else if (BeginsWith(word, "fg:") && !ReadScriptWord(word, script)) {
            script.refused.push_back(word);
        }
    }
    return script;
}

}  // namespace fakegame
