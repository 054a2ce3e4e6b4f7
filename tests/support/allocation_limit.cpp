#include "tests/support/allocation_limit.h"

#include <cstdint>
#include <cstdlib>
#include <new>

thread_local std::size_t vt::t_allocationLimit = SIZE_MAX;

// The library's operator delete frees with free(), so blocks come from malloc.
void* operator new(std::size_t size)
{
    void* block = size <= vt::t_allocationLimit ? std::malloc(size ? size : 1) : nullptr;
    if (!block)
        throw std::bad_alloc();
    return block;
}
