// A real HTTP server on 127.0.0.1 inside the test process, on a free port.
// Tests register their handlers on server() before Start().
#pragma once

#include <httplib.h>

#include <string>
#include <thread>

#include "tests/support/test_support.h"

namespace vt {

class TestServer {
public:
    ~TestServer()
    {
        if (m_thread.joinable()) {
            m_server.stop();
            m_thread.join();
        }
    }
    httplib::Server& server() { return m_server; }
    // Binds a free port and serves on a thread; false when no port could be bound.
    bool Start()
    {
        m_port = m_server.bind_to_any_port("127.0.0.1");
        if (m_port > 0)
            m_thread = std::thread([this] { m_server.listen_after_bind(); });
        return m_port > 0 && WaitUntil([this] { return m_server.is_running(); }, 2000);
    }
    int port() const { return m_port; }
    std::string Url(const std::string& path) const { return "http://127.0.0.1:" + std::to_string(m_port) + path; }

private:
    httplib::Server m_server;
    std::thread m_thread;
    int m_port = -1;
};

}  // namespace vt
