// A time limit for everything one operation does, and a wait for a blocking call that
// ends with that limit.  A server that trickles one byte at a time restarts every
// per-call time-out at each byte; only a total limit holds against it.
#pragma once

#include <windows.h>

#include <functional>

class CDeadline {
public:
    explicit CDeadline(DWORD totalMs) : m_startedAt(GetTickCount()), m_totalMs(totalMs) {}

    // Milliseconds left; 0 once the limit has passed.
    DWORD RemainingMs() const
    {
        const DWORD elapsed = GetTickCount() - m_startedAt;
        return elapsed < m_totalMs ? m_totalMs - elapsed : 0;
    }
    bool HasPassed() const { return RemainingMs() == 0; }

private:
    DWORD m_startedAt;
    DWORD m_totalMs;
};

// Runs job on a thread of its own and waits for it while deadline has time left; true
// when the job ended in time.  False when it did not, or when it could not be started
// (no thread, no memory; the deadline has then not passed).
//
// A blocked WinINet call does not return when another thread closes its handle under
// Wine, so a job that is not waited for is left to run on until its calls end: it must
// own everything it touches (what it captures), and what it leaves is the caller's to
// read only when this gives true.  Nothing throws.
bool RunWithinDeadline(const CDeadline& deadline, std::function<void()> job);
