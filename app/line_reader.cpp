#include "app/line_reader.h"

#include <algorithm>
#include <cstring>
#include <vector>

namespace {
// The bytes of one ReadFile call: enough to cover a tick's share in a few calls.
constexpr ULONGLONG kPieceBytes = 64 * 1024;
}  // namespace

CLineReader::Result CLineReader::ReadOn(CFile& file, ULONGLONG maxBytes, const LineHandler& onLine)
{
    if (file.GetLength() < m_offset)  // rewritten since the last read
        Restart();
    if (file.Seek(static_cast<LONGLONG>(m_offset), CFile::begin) != m_offset)
        return Result::End;
    std::vector<char> piece(static_cast<size_t>(std::min(maxBytes, kPieceBytes)));
    ULONGLONG left = maxBytes;
    while (left > 0) {
        const UINT count = file.Read(piece.data(), static_cast<UINT>(std::min<ULONGLONG>(left, piece.size())));
        if (count == 0)
            break;
        m_offset += count;
        left -= count;
        if (Feed(piece.data(), count, onLine))
            return Result::Stopped;
    }
    if (left == 0 && m_offset < file.GetLength())
        return Result::More;
    // The end of the file ends its last line too.
    const bool stopped = (!m_line.empty() || m_overlong) && HandOnHeldLine(onLine, false);
    return stopped ? Result::Stopped : Result::End;
}

void CLineReader::Restart()
{
    m_offset = 0;
    m_line.clear();
    m_overlong = false;
}

bool CLineReader::Feed(const char* bytes, size_t count, const LineHandler& onLine)
{
    const char* const end = bytes + count;
    while (bytes < end) {
        const auto* lineFeed = static_cast<const char*>(std::memchr(bytes, '\n', static_cast<size_t>(end - bytes)));
        Hold(bytes, static_cast<size_t>((lineFeed ? lineFeed : end) - bytes));
        if (!lineFeed)
            return false;
        bytes = lineFeed + 1;
        if (HandOnHeldLine(onLine, true))
            return true;
    }
    return false;
}

void CLineReader::Hold(const char* bytes, size_t count)
{
    if (m_overlong)
        return;
    // One byte more than a line may have: a carriage return that turns out to end it.
    if (m_line.size() + count > kMaxLineBytes + 1) {
        m_overlong = true;
        m_line.clear();
        return;
    }
    m_line.append(bytes, count);
}

bool CLineReader::HandOnHeldLine(const LineHandler& onLine, bool atLineFeed)
{
    if (atLineFeed && !m_line.empty() && m_line.back() == '\r')
        m_line.pop_back();
    const bool stop = !m_overlong && m_line.size() <= kMaxLineBytes && onLine(m_line);
    m_line.clear();
    m_overlong = false;
    return stop;
}
