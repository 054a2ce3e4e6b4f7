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
}  // namespace

bool RunWithinDeadline(const CDeadline& deadline, std::function<void()> job)
{
    if (deadline.HasPassed())
        return false;
    try {
        auto detached = std::make_shared<DetachedJob>();
        if (!detached->ended)
            return false;
        detached->run = std::move(job);
        return StartJobThread(detached) &&
               WaitForSingleObject(detached->ended, deadline.RemainingMs()) == WAIT_OBJECT_0;
    } catch (const std::bad_alloc&) {
        return false;
    }
}
