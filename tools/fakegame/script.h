// The fake game's script: what it does, read from the "fg:" words of its command line.
// The syntax is described at the top of main.cpp and in README.md beside it.
#pragma once

#include <string>
#include <vector>

namespace fakegame {

// Nothing the fake game does lasts longer than this: it ends itself at the latest then.
constexpr unsigned kLifetimeMs = 120000;

enum class LogKind { Normal, GfxFail, None };

struct Command {
    std::string word;   // the command file's second line, written as given
    int sequence = 0;   // its first line
    unsigned atMs = 0;  // when it is written, counted from the start
};

struct Script {
    LogKind log = LogKind::Normal;
    std::vector<Command> commands;
    int cmdKey = 0;                    // "cmdKey:%d" of the command line; names the command file
    std::vector<std::string> refused;  // "fg:" words it could not read
};

// Reads the words of a whole command line; words that are not "fg:" words or the
// command-file key are left alone.
Script ParseScript(const std::string& commandLine);

}  // namespace fakegame
