#include "app/game_command_line.h"

#include "app/command_line.h"

GameCommandLine BuildGameCommandLine(const GameCommandLineParts& parts)
{
    GameCommandLine line;
    line.text.Format("log:%s qosStartAt:%d cmdKey:%d", parts.log.IsEmpty() ? "0" : parts.log.GetString(),
                     parts.qosStartAt, parts.cmdKey);
    for (const std::string& piece : SplitString(parts.gameUrl.str(), "&", 0)) {
        // Split once: the value keeps every later "=".
        const std::vector<std::string> pair = SplitString(piece, "=", 1);
        if (pair.size() < 2) {
            line.skipped.push_back(piece);
            continue;
        }
        line.text += " ";
        line.text += pair[0].c_str();
        line.text += ":";
        line.text += pair[1].c_str();
        if (pair[0] == "qid" || pair[0] == "uid") {
            line.hasUserId = true;
            line.userId = pair[1];
        }
    }
    if (parts.simpleMode)
        line.text += " wdmode:simle";
    CString tail;
    tail.Format(" wdver:%d shell:%s %s", parts.version, parts.shellPath.GetString(), parts.params.GetString());
    line.text += tail;
    return line;
}
