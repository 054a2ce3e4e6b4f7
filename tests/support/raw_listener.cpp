#include "tests/support/raw_listener.h"

#include <ws2tcpip.h>

#include <cstdlib>
#include <cstring>

namespace vt {

namespace {
constexpr int kReceiveTimeoutMs = 5000;

SOCKET ListenOnFreePort(int& port)
{
    SOCKET s = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    if (s == INVALID_SOCKET)
        return s;
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = 0;
    int length = sizeof(address);
    if (bind(s, reinterpret_cast<sockaddr*>(&address), sizeof(address)) != 0 || listen(s, 8) != 0 ||
        getsockname(s, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
        closesocket(s);
        return INVALID_SOCKET;
    }
    port = ntohs(address.sin_port);
    return s;
}

// Length announced in an HTTP head, 0 when there is none.
size_t ContentLength(const std::string& head)
{
    for (size_t start = 0; start < head.size();) {
        size_t end = head.find("\r\n", start);
        if (end == std::string::npos)
            end = head.size();
        const std::string line = head.substr(start, end - start);
        if (_strnicmp(line.c_str(), "Content-Length:", 15) == 0)
            return std::strtoul(line.c_str() + 15, nullptr, 10);
        start = end + 2;
    }
    return 0;
}
}  // namespace

RawListener::RawListener()
{
    WSADATA data;
    m_started = WSAStartup(MAKEWORD(2, 2), &data) == 0;
}

RawListener::~RawListener()
{
    Stop();
    if (m_started)
        WSACleanup();
}

bool RawListener::Start(Mode mode, const std::string& reply)
{
    m_mode = mode;
    m_reply = reply;
    m_listener = ListenOnFreePort(m_port);
    if (m_listener == INVALID_SOCKET)
        return false;
    m_thread = std::thread([this] { Serve(); });
    return true;
}

void RawListener::Stop()
{
    m_stop = true;
    if (m_thread.joinable())
        m_thread.join();
    for (SOCKET held : m_held)
        closesocket(held);
    m_held.clear();
    if (m_listener != INVALID_SOCKET)
        closesocket(m_listener);
    m_listener = INVALID_SOCKET;
}

std::string RawListener::Url(const std::string& path, const std::string& scheme) const
{
    return scheme + "://127.0.0.1:" + std::to_string(m_port) + path;
}

std::vector<std::string> RawListener::Received()
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_received;
}

int RawListener::Connections()
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return static_cast<int>(m_received.size());
}

void RawListener::AddBytes(size_t index, const char* data, int count)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_received[index].append(data, static_cast<size_t>(count));
}

void RawListener::Serve()
{
    while (!m_stop) {
        fd_set readable;
        FD_ZERO(&readable);
        FD_SET(m_listener, &readable);
        timeval wait{0, 50 * 1000};
        if (select(0, &readable, nullptr, nullptr, &wait) <= 0)
            continue;
        SOCKET client = accept(m_listener, nullptr, nullptr);
        if (client == INVALID_SOCKET)
            continue;
        size_t index = 0;
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            index = m_received.size();
            m_received.emplace_back();
        }
        if (m_mode == Mode::Silent) {
            m_held.push_back(client);
            continue;
        }
        const bool complete = ReadRequest(client, index);
        if (m_mode == Mode::Reset) {
            linger reset{1, 0};
            setsockopt(client, SOL_SOCKET, SO_LINGER, reinterpret_cast<const char*>(&reset), sizeof(reset));
            closesocket(client);
            continue;
        }
        if (complete)
            send(client, m_reply.data(), static_cast<int>(m_reply.size()), 0);
        if (m_mode == Mode::Stall) {
            m_held.push_back(client);
            continue;
        }
        shutdown(client, SD_SEND);
        closesocket(client);
    }
}

// Reads the head and the announced body; false when the peer stopped before, or when
// the first byte cannot begin an HTTP request (a TLS hello).
bool RawListener::ReadRequest(SOCKET client, size_t index)
{
    DWORD timeout = kReceiveTimeoutMs;
    setsockopt(client, SOL_SOCKET, SO_RCVTIMEO, reinterpret_cast<const char*>(&timeout), sizeof(timeout));
    std::string bytes;
    size_t headEnd = std::string::npos;
    char buffer[65536];
    while (!m_stop) {
        if (headEnd != std::string::npos && bytes.size() >= headEnd + 4 + ContentLength(bytes.substr(0, headEnd)))
            break;
        const int count = recv(client, buffer, sizeof(buffer), 0);
        if (count <= 0)
            return false;
        AddBytes(index, buffer, count);
        bytes.append(buffer, static_cast<size_t>(count));
        if (!(bytes[0] >= 'A' && bytes[0] <= 'Z'))
            return false;
        if (headEnd == std::string::npos)
            headEnd = bytes.find("\r\n\r\n");
    }
    return !m_stop;
}

int UnusedPort()
{
    WSADATA data;
    const bool started = WSAStartup(MAKEWORD(2, 2), &data) == 0;
    int port = -1;
    SOCKET s = ListenOnFreePort(port);
    if (s != INVALID_SOCKET)
        closesocket(s);
    if (started)
        WSACleanup();
    return port;
}

}  // namespace vt
