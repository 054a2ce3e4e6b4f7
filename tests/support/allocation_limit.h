// Plays a process out of memory.  The test binaries that link allocation_limit.cpp get a
// global operator new that throws std::bad_alloc for blocks larger than the limit of an
// AllocationLimit, on the thread that holds it and on the threads started while it is held
// (a call that hands its work to a thread of its own runs out of memory there too), and on
// the thread named by g_starvedThread (a worker that a limit cannot reach), for every block.
#pragma once

#include <atomic>
#include <cstddef>

namespace vt {

extern std::atomic<unsigned long> g_starvedThread;  // a thread id, 0 for none

class AllocationLimit {
public:
    explicit AllocationLimit(std::size_t maxBytes);
    ~AllocationLimit();
    AllocationLimit(const AllocationLimit&) = delete;
    AllocationLimit& operator=(const AllocationLimit&) = delete;

private:
    const std::size_t m_previous;
};

}  // namespace vt
