// Plays a process out of memory.  The test binaries that link allocation_limit.cpp get
// a global operator new that throws std::bad_alloc
// - on the thread that holds an AllocationLimit, for blocks larger than its limit;
// - on the thread named by g_starvedThread, for every block (a worker the test did not
//   start itself and so cannot reach with a thread-local limit).
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
