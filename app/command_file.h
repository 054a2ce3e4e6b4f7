// The game's command file: a sequence number on its first line, a command on its second.
#pragma once

#include "afx/afxstr.h"

enum class GameCommand { None, Quit, Reset, Ok, CanExit };

struct CommandFileContent {
    int sequence = 0;  // leading number of line 1; 0 without digits
    CString command;   // line 2 as it stands; "" when missing
};

// How much of a command file is read: far more than its two short lines need.  A line
// that this cuts, and all that follows, is not looked at.
constexpr unsigned kCommandFileReadBytes = 4096;

// Reads the file at path, opened with no sharing, so that a file the game is still
// writing is never read half-made.  False when it cannot be opened.
bool ReadCommandFile(const char* path, CommandFileContent& content);

// The command of a second line, compared whole and case-sensitively in the order
// quit, reset, ok, canExit.
GameCommand ParseGameCommand(const CString& line);

// The command to carry out for a file just read: only a sequence number above
// lastSequence counts, and it becomes the new lastSequence whatever its command says.
GameCommand TakeNewCommand(const CommandFileContent& content, int& lastSequence);
