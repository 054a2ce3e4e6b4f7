// The files the fake game writes: its record for tests, its output log and its
// command files for the launcher, and the list of what it did.
#pragma once

#include <windows.h>

#include <string>

namespace fakegame {

// Where the running exe lies: <exeDir>\<pkgName>.exe, its data in <pkgName>_Data.
struct GameFolder {
    std::string exeDir;
    std::string pkgName;

    static GameFolder OfThisExe();
    std::string File(const std::string& name) const { return exeDir + "\\" + name; }
    std::string DataDir() const { return File(pkgName + "_Data"); }
    std::string OutputLog() const { return DataDir() + "\\output_log.txt"; }
    std::string CommandFile(int cmdKey) const;
};

// How a write that the launcher may be blocking ended.
enum class WriteResult { Done, Busy, Failed };

// "fakegame_args.txt": the raw command line, then the show state; written under a
// temporary name and renamed, so a reader never sees half of it.
bool RecordStart(const GameFolder& folder, const std::string& commandLine, int showState);
// One line appended to "fakegame_events.txt".
void RecordEvent(const GameFolder& folder, const std::string& line);

// Writes the whole output log and closes it; with gfxFail it holds the line that the
// launcher takes for a failed graphics start-up.
WriteResult WriteOutputLog(const GameFolder& folder, bool gfxFail);
// The two-line command file, opened without sharing as the launcher reads it.
WriteResult WriteCommandFile(const GameFolder& folder, int cmdKey, int sequence, const std::string& word);

}  // namespace fakegame
