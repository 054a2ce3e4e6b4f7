#include "tests/support/allocation_limit.h"

#include <windows.h>

#include <cstdint>
#include <cstdlib>
#include <new>

std::atomic<unsigned long> vt::g_starvedThread{0};

namespace {
// Each thread's limit, in a Windows TLS slot (0: none), which the loader's thread-start
// callback below may set; the language's thread_local is not ready that early.  Made on
// first use: static objects of other files allocate before this file's are made.
DWORD LimitSlot()
{
    static const DWORD slot = TlsAlloc();
    return slot;
}
// The limit of the thread that holds an AllocationLimit, for threads started meanwhile.
std::atomic<std::size_t> g_limitOfNewThreads{SIZE_MAX};

std::size_t ThreadLimit()
{
    const auto stored = reinterpret_cast<std::uintptr_t>(TlsGetValue(LimitSlot()));
    return stored ? stored - 1 : SIZE_MAX;
}

void SetThreadLimit(std::size_t maxBytes)
{
    TlsSetValue(LimitSlot(), maxBytes == SIZE_MAX ? nullptr : reinterpret_cast<void*>(maxBytes + 1));
}

void NTAPI InheritLimit(PVOID, DWORD reason, PVOID)
{
    if (reason == DLL_THREAD_ATTACH)
        SetThreadLimit(g_limitOfNewThreads);
}
}  // namespace

// Called by the loader in each new thread before its entry point.
extern "C" __attribute__((section(".CRT$XLF"), used)) const PIMAGE_TLS_CALLBACK vt_inheritAllocationLimit =
    InheritLimit;

vt::AllocationLimit::AllocationLimit(std::size_t maxBytes) : m_previous(ThreadLimit())
{
    SetThreadLimit(maxBytes);
    g_limitOfNewThreads = maxBytes;
}

vt::AllocationLimit::~AllocationLimit()
{
    SetThreadLimit(m_previous);
    g_limitOfNewThreads = m_previous;
}

// The library's operator delete frees with free(), so blocks come from malloc.
void* operator new(std::size_t size)
{
    const bool refused = size > ThreadLimit() || vt::g_starvedThread == GetCurrentThreadId();
    void* block = refused ? nullptr : std::malloc(size ? size : 1);
    if (!block)
        throw std::bad_alloc();
    return block;
}
