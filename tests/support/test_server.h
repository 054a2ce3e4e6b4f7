// A real HTTP server on 127.0.0.1 inside the test process, on a free port.
// Tests register their handlers on server() before Start().
#pragma once

#include <httplib.h>

#include <string>
#include <thread>

namespace vt {

class TestServer {
public:
    TestServer() = default;
    ~TestServer() { Stop(); }
    TestServer(const TestServer&) = delete;
    TestServer& operator=(const TestServer&) = delete;

    httplib::Server& server() { return m_server; }
    // Binds a free port and serves on a thread; false when no port could be bound.
    bool Start();
    void Stop();
    int port() const { return m_port; }
    // "http://127.0.0.1:<port>" followed by path.
    std::string Url(const std::string& path) const;

private:
    httplib::Server m_server;
    std::thread m_thread;
    int m_port = -1;
};

}  // namespace vt
