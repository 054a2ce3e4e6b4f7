#include "net/deadline.h"

#include <memory>
#include <new>

namespace {
// Reserved, not committed: a job's WinINet calls need far less.
constexpr SIZE_T kJobStackBytes = 1 << 20;

// Shared by the waiting caller and the job's thread; the last one to let go frees it.
struct DetachedJob {
    DetachedJob() : ended(CreateEventA(nullptr, TRUE, FALSE, nullptr)) {}
    ~DetachedJob()
    {
        if (ended)
            CloseHandle(ended);
    }
    DetachedJob(const DetachedJob&) = delete;
    DetachedJob& operator=(const DetachedJob&) = delete;

    std::function<void()> run;
    CJobLimit* limit = nullptr;
    HANDLE ended;
};

DWORD WINAPI RunDetachedJob(void* argument)
{
    const std::unique_ptr<std::shared_ptr<DetachedJob>> handedOver(
        static_cast<std::shared_ptr<DetachedJob>*>(argument));
    const std::shared_ptr<DetachedJob> job = *handedOver;
    // Nothing may leave the thread: the result the job left stays its failure value.
    try {
        job->run();
    } catch (...) {
    }
    // Before the end is told: a caller that saw the job end finds its place free again.
    job->limit->GiveBack();
    SetEvent(job->ended);
    return 0;
}

// The job's thread, which holds its own share of the job; false when none could be started.
bool StartJobThread(const std::shared_ptr<DetachedJob>& job)
{
    auto* handedOver = new std::shared_ptr<DetachedJob>(job);
    HANDLE thread =
        CreateThread(nullptr, kJobStackBytes, RunDetachedJob, handedOver, STACK_SIZE_PARAM_IS_A_RESERVATION, nullptr);
    if (!thread) {
        delete handedOver;
        return false;
    }
    CloseHandle(thread);
    return true;
}

// Waits for the job's end until the deadline has passed by its own clock: a wait may end
// a tick before that clock says so, and the caller then takes the deadline for not passed.
bool WaitForEnd(const DetachedJob& job, const CDeadline& deadline)
{
    for (;;) {
        const DWORD waited = WaitForSingleObject(job.ended, deadline.RemainingMs());
        if (waited == WAIT_OBJECT_0)
            return true;
        if (waited != WAIT_TIMEOUT || deadline.HasPassed())
            return false;
    }
}

// The job on a thread of its own, which gives limit's place back when the job ends; null
// when it could not be started (no thread, no memory).
std::shared_ptr<DetachedJob> StartJob(CJobLimit& limit, std::function<void()>&& job)
{
    try {
        auto detached = std::make_shared<DetachedJob>();
        if (!detached->ended)
            return nullptr;
        detached->run = std::move(job);
        detached->limit = &limit;
        return StartJobThread(detached) ? detached : nullptr;
    } catch (const std::bad_alloc&) {
        return nullptr;
    }
}
}  // namespace

bool CJobLimit::TryTake()
{
    if (++m_running <= m_maxRunning)
        return true;
    --m_running;
    return false;
}

bool RunWithinDeadline(const CDeadline& deadline, CJobLimit& limit, std::function<void()> job)
{
    if (deadline.HasPassed() || !limit.TryTake())
        return false;
    const std::shared_ptr<DetachedJob> detached = StartJob(limit, std::move(job));
    if (!detached) {
        limit.GiveBack();  // no thread took the place over
        return false;
    }
    return WaitForEnd(*detached, deadline);
}
