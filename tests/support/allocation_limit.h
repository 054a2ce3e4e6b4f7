// Plays a process out of memory: while an AllocationLimit lives, operator new on its
// thread throws std::bad_alloc for blocks larger than the limit.  It replaces the global
// operator new, so only the test binaries that use it link allocation_limit.cpp.
#pragma once

#include <cstddef>

namespace vt {

extern thread_local std::size_t t_allocationLimit;

struct AllocationLimit {
    explicit AllocationLimit(std::size_t maxBytes) : previous(t_allocationLimit) { t_allocationLimit = maxBytes; }
    ~AllocationLimit() { t_allocationLimit = previous; }
    const std::size_t previous;
};

}  // namespace vt
