// Lines of a file read a bounded piece at a time: a file of any size, or one without
// line ends, costs each read a bounded amount of time and memory on the UI thread.
#pragma once

#include <windows.h>

#include <functional>
#include <string>

#include "afx/afxfile.h"

class CLineReader {
public:
    // A line longer than this is read past and never handed on.
    static constexpr size_t kMaxLineBytes = 4096;

    // Gets each line without its line end (a line feed, with or without a carriage return
    // before it); true stops the reading.
    using LineHandler = std::function<bool(const std::string& line)>;

    enum class Result {
        Stopped,  // the handler stopped at a line
        End,      // the file was read to its end; a last line without a line end was handed on
        More,     // maxBytes were read before the end: the next call reads on from there
    };

    // Reads up to maxBytes of file from where the previous call left off (from its start
    // again when the file has become shorter than that) and hands on the lines they end.
    // A line that a read cuts is held and completed by the next call.
    Result ReadOn(CFile& file, ULONGLONG maxBytes, const LineHandler& onLine);

    // The next read starts at the beginning of the file, with no line held.
    void Restart();

private:
    // Hands on the lines that bytes end and holds the start of one they leave open.
    bool Feed(const char* bytes, size_t count, const LineHandler& onLine);
    // Adds bytes of one line to the held line, or stops holding a line grown too long.
    void Hold(const char* bytes, size_t count);
    // Hands the held line on unless it is too long, and starts the next; true when the
    // handler stopped.  At a line feed a carriage return before it belongs to the line end.
    bool HandOnHeldLine(const LineHandler& onLine, bool atLineFeed);

    ULONGLONG m_offset = 0;
    std::string m_line;       // the start of a line that no line feed has ended yet
    bool m_overlong = false;  // the held line has outgrown kMaxLineBytes and is being read past
};
