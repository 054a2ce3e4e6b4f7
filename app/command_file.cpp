#include "app/command_file.h"

#include "afx/afxfile.h"
#include "app/line_reader.h"
#include "app/version.h"

// A line too long to be handed on must not end within the bytes read: the lines after it
// would take its number.
static_assert(kCommandFileReadBytes <= CLineReader::kMaxLineBytes + 1, "line numbers would shift");

bool ReadCommandFile(const char* path, CommandFileContent& content)
{
    content = CommandFileContent{};
    CFile file;
    if (!file.Open(path, CFile::modeRead | CFile::shareExclusive))
        return false;
    // The game writes two short lines and later lines are not the launcher's business: a
    // file of any size costs no more than its beginning.
    int lineNumber = 0;
    CLineReader().ReadOn(file, kCommandFileReadBytes, [&](const std::string& line) {
        if (++lineNumber == 1)
            content.sequence = ParseLeadingInt(line.c_str());
        else
            content.command = line;
        return lineNumber == 2;
    });
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
