#include "tests/support/allocation_limit.h"

#include <windows.h>

#include <cstdint>
#include <cstdlib>
#include <new>

thread_local std::size_t vt::t_allocationLimit = SIZE_MAX;
std::atomic<unsigned long> vt::g_starvedThread{0};

// The library's operator delete frees with free(), so blocks come from malloc.
void* operator new(std::size_t size)
{
    const bool refused = size > vt::t_allocationLimit || vt::g_starvedThread == GetCurrentThreadId();
    void* block = refused ? nullptr : std::malloc(size ? size : 1);
    if (!block)
        throw std::bad_alloc();
    return block;
}
