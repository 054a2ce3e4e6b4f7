// The sockets of one transfer that another thread may have to break off.  Under Wine a
// shutdown does not end a receive or a connect already waiting on a socket (measured: the
// wait runs to its own time-out), and closing a socket that its library still owns would
// let that library close it a second time.  Cancelling the socket's I/O ends the wait at
// once, also through a duplicate of its handle, and leaves the closing to the library.
#pragma once

#include <windows.h>

#include <mutex>
#include <vector>

class CInterruptibleSockets {
public:
    CInterruptibleSockets() = default;
    ~CInterruptibleSockets() { ReleaseAll(); }
    CInterruptibleSockets(const CInterruptibleSockets&) = delete;
    CInterruptibleSockets& operator=(const CInterruptibleSockets&) = delete;

    // The transfer's thread, for each socket it makes: keeps a handle of our own on it.  It
    // holds the socket until released, so that no other socket can take its place under
    // that handle when the library closes its own.  Called from inside the library, which
    // would lose the socket to an exception: without memory to hold it, the socket is left
    // to its own time-outs.
    void Add(UINT_PTR socket) noexcept;  // a SOCKET
    // Any thread: ends every connect, send and receive now waiting on the held sockets.
    // What starts after this call is not ended; a stopping thread calls it until the
    // transfer is over.
    void InterruptAll();
    // The transfer's thread, once its library has let go of the sockets: closes our handles.
    void ReleaseAll();

private:
    std::mutex m_mutex;
    std::vector<HANDLE> m_held;
};
