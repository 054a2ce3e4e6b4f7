// Plays a process out of memory.  The test binaries that link allocation_limit.cpp get a
// global operator new that throws std::bad_alloc on the thread that holds an
// AllocationLimit, for blocks larger than its limit, and on the thread named by
// g_starvedThread (a worker that a thread-local limit cannot reach), for every block.
#pragma once

#include <atomic>
#include <cstddef>

namespace vt {

extern thread_local std::size_t t_allocationLimit;
extern std::atomic<unsigned long> g_starvedThread;  // a thread id, 0 for none

struct AllocationLimit {
    explicit AllocationLimit(std::size_t maxBytes) : previous(t_allocationLimit) { t_allocationLimit = maxBytes; }
    ~AllocationLimit() { t_allocationLimit = previous; }
    const std::size_t previous;
};

}  // namespace vt
