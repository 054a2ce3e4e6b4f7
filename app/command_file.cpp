#include "app/command_file.h"

#include "afx/afxfile.h"
#include "app/version.h"

bool ReadCommandFile(const char* path, CommandFileContent& content)
{
    content = CommandFileContent{};
    CStdioFile file;
    if (!file.Open(path, CFile::modeRead | CFile::shareExclusive | CFile::typeText))
        return false;
    CString line;
    if (file.ReadString(line))
        content.sequence = ParseLeadingInt(line);
    if (file.ReadString(line))
        content.command = line;
    // Later lines are not the launcher's business.
    file.Close();
    return true;
}

GameCommand ParseGameCommand(const CString& line)
{
    if (line == "quit")
        return GameCommand::Quit;
    if (line == "reset")
        return GameCommand::Reset;
    if (line == "ok")
        return GameCommand::Ok;
    if (line == "canExit")
        return GameCommand::CanExit;
    return GameCommand::None;
}

GameCommand TakeNewCommand(const CommandFileContent& content, int& lastSequence)
{
    if (content.sequence <= lastSequence)
        return GameCommand::None;
    lastSequence = content.sequence;
    return ParseGameCommand(content.command);
}
