// A time limit for everything one operation does, and a wait for a blocking call that
// ends with that limit.  A server that trickles one byte at a time restarts every
// per-call time-out at each byte; only a total limit holds against it.
#pragma once

#include <windows.h>

#include <atomic>
#include <functional>
#include <memory>
#include <optional>

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

// How many jobs of one kind may run at a time, those whose caller stopped waiting for them
// included.  A server that never lets go would otherwise leave one more thread behind at
// every call; once the cap is reached, a call gives up at once, which also spares its
// caller the wait.  Each kind has its own, so that one bad server does not stop the calls
// of another.  Only as a static object: a job may end after its caller, or the process's
// exit, has begun, and gives its place back then.
class CJobLimit {
public:
    constexpr explicit CJobLimit(int maxRunning) : m_maxRunning(maxRunning) {}
    CJobLimit(const CJobLimit&) = delete;
    CJobLimit& operator=(const CJobLimit&) = delete;

    // A place for one more job; false when all are taken.
    bool TryTake();
    void GiveBack() { --m_running; }

private:
    std::atomic<int> m_running{0};
    const int m_maxRunning;
};

// Runs job on a thread of its own, holding one of limit's places until the job ends, and
// waits for it while deadline has time left; true when the job ended in time.  False when
// it did not (the deadline has then passed), or when it could not be started: limit had no
// place left, or there was no thread or no memory (the deadline has then not passed).
//
// A blocked WinINet call does not return when another thread closes its handle under
// Wine, so a job that is not waited for is left to run on until its calls end: it must
// own everything it touches (what it captures), and what it leaves is the caller's to
// read only when this gives true.  Nothing throws.
bool RunWithinDeadline(const CDeadline& deadline, CJobLimit& limit, std::function<void()> job);

// RunWithinDeadline for a call that gives a value: the value when the call ended in time,
// nothing otherwise (not in time, not started, or it threw).  The value comes back through
// a cell that the call's thread shares, so a call given up on writes only into a cell that
// nobody reads any more.  call must own what it touches, as for RunWithinDeadline.  Throws
// std::bad_alloc when there is no memory for the cell.
template <typename Call>
auto CallWithinDeadline(const CDeadline& deadline, CJobLimit& limit, Call call) -> std::optional<decltype(call())>
{
    auto cell = std::make_shared<std::optional<decltype(call())>>();
    if (!RunWithinDeadline(deadline, limit, [cell, call] { cell->emplace(call()); }))
        return std::nullopt;
    return std::move(*cell);
}
