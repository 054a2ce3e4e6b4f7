#include "net/interruptible_sockets.h"

#include <new>

void CInterruptibleSockets::Add(UINT_PTR socket) noexcept
{
    std::lock_guard<std::mutex> lock(m_mutex);
    try {
        m_held.reserve(m_held.size() + 1);  // a failure here comes before anything is held
    } catch (const std::bad_alloc&) {
        return;
    }
    HANDLE held = nullptr;
    if (DuplicateHandle(GetCurrentProcess(), reinterpret_cast<HANDLE>(socket), GetCurrentProcess(), &held, 0, FALSE,
                        DUPLICATE_SAME_ACCESS))
        m_held.push_back(held);
}

void CInterruptibleSockets::InterruptAll()
{
    std::lock_guard<std::mutex> lock(m_mutex);
    for (HANDLE held : m_held)
        CancelIoEx(held, nullptr);
}

void CInterruptibleSockets::ReleaseAll()
{
    std::lock_guard<std::mutex> lock(m_mutex);
    for (HANDLE held : m_held)
        CloseHandle(held);
    m_held.clear();
}
