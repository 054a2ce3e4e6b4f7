// The launcher's log: one plain-text file per run, one time-stamped line per call.
#pragma once

#include "afx/afxstr.h"

// Names the log file and starts it with the banner line.  With keepExisting the
// banner is appended instead, so that an earlier run's lines are not lost.
void LogInit(const char* path, bool keepExisting = false);

// Formats one message (at most 4094 bytes; longer ones are cut), writes it behind
// the "<date time> " prefix as one line, and gives the message back.
// The format is always one of the program's own literals.
CString WriteLog(const char* format, ...) __attribute__((format(gnu_printf, 1, 2)));
