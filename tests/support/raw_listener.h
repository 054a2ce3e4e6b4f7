// A bare TCP listener on 127.0.0.1 for what an HTTP server library hides from its
// handlers: the request's bytes exactly as they came (header order, TLS hellos), and
// peers that stall, trickle or reset the connection.
#pragma once

#include <winsock2.h>

#include <atomic>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace vt {

class RawListener {
public:
    // What happens on each connection once one request (head and announced body) is read:
    // send the reply and close; send it and hold the connection until Stop; reset it;
    // send it slowly (see StartTrickling); read it slowly (see StartReadingSlowly).
    // ReplyToHead sends the reply once the head is read, reads nothing of the body and
    // holds the connection until Stop, as a server that refuses the request unread.
    enum class Mode { Reply, Stall, Reset, Trickle, ReadSlowly, ReplyToHead };

    ~RawListener() { Stop(); }
    bool Start(Mode mode, const std::string& reply = "HTTP/1.0 200 OK\r\nContent-Length: 2\r\n\r\nok");
    // Sends the reply's first atOnce bytes at once and the rest one byte every intervalMs,
    // then closes; one connection at a time.  Each byte restarts a reader's time-out.
    bool StartTrickling(const std::string& reply, size_t atOnce, DWORD intervalMs = 2000);
    // Reads what comes at bytesPerSecond at the most (0: reads nothing at all) and never
    // replies, until the client goes away or Stop; one connection at a time.
    bool StartReadingSlowly(size_t bytesPerSecond);
    void Stop();
    std::string Url(const std::string& path, const std::string& scheme = "http") const
    {
        return scheme + "://127.0.0.1:" + std::to_string(m_port) + path;
    }
    // The bytes read from each connection so far, in order of acceptance.
    std::vector<std::string> Received()
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        return m_received;
    }

private:
    void Serve();
    bool ReadRequest(SOCKET client, std::string& bytes);
    void Trickle(SOCKET client);
    void ReadSlowly(SOCKET client);

    Mode m_mode = Mode::Reply;
    std::string m_reply;
    size_t m_atOnce = 0;
    DWORD m_intervalMs = 0;
    size_t m_bytesPerSecond = 0;
    SOCKET m_listener = INVALID_SOCKET;
    int m_port = -1;
    std::thread m_thread;
    std::atomic<bool> m_stop{false};
    std::mutex m_mutex;
    std::vector<std::string> m_received;
    std::vector<SOCKET> m_held;
};

// A port on 127.0.0.1 where nothing listens (bound once, then released).
int UnusedPort();

// A listener on 127.0.0.1 that never accepts, its queue of waiting connections kept full:
// the system drops each new connection request, so a connect to it waits until its own
// time-out.
class FullListener {
public:
    ~FullListener();
    bool Start();
    std::string Url(const std::string& path) const { return "http://127.0.0.1:" + std::to_string(m_port) + path; }

private:
    SOCKET m_listener = INVALID_SOCKET;
    SOCKET m_queued = INVALID_SOCKET;  // the one connection its queue holds
    int m_port = -1;
};

}  // namespace vt
