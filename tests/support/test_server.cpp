#include "tests/support/test_server.h"

#include <windows.h>

namespace vt {

bool TestServer::Start()
{
    m_port = m_server.bind_to_any_port("127.0.0.1");
    if (m_port <= 0)
        return false;
    m_thread = std::thread([this] { m_server.listen_after_bind(); });
    for (int i = 0; i < 200 && !m_server.is_running(); ++i)
        Sleep(10);
    return m_server.is_running();
}

void TestServer::Stop()
{
    if (m_thread.joinable()) {
        m_server.stop();
        m_thread.join();
    }
}

std::string TestServer::Url(const std::string& path) const
{
    return "http://127.0.0.1:" + std::to_string(m_port) + path;
}

}  // namespace vt
