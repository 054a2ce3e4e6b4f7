// The command line that the launcher gives the game (the Unity player reads it).
#pragma once

#include <string>
#include <vector>

#include "afx/afxstr.h"

struct GameCommandLineParts {
    CString log;  // the `log` setting; "" becomes "0"
    int qosStartAt = 0;
    int cmdKey = 0;
    CString gameUrl;  // key=value pairs joined by "&", from the page
    bool simpleMode = false;
    int version = 0;    // the launcher's version as a number
    CString shellPath;  // the launcher's own executable
    CString params;     // the `params` setting, appended after one blank even when empty
};

struct GameCommandLine {
    CString text;
    // The value of the last "qid" or "uid" parameter; unset when neither occurs.
    bool hasUserId = false;
    std::string userId;
    // Parameters without a "=" after their key: left out of the line.
    std::vector<std::string> skipped;
};

// "log:%s qosStartAt:%d cmdKey:%d", then " key:value" per parameter, " wdmode:simle"
// in simple mode, " wdver:%d", " shell:<path>" and " <params>".
GameCommandLine BuildGameCommandLine(const GameCommandLineParts& parts);
