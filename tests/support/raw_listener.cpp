#include "tests/support/raw_listener.h"

#include <algorithm>
#include <cstdlib>

namespace vt {

namespace {
// Winsock stays started for the rest of the test process.
SOCKET ListenOnFreePort(int& port, int backlog = 8)
{
    static const bool started = [] {
        WSADATA data;
        return WSAStartup(MAKEWORD(2, 2), &data) == 0;
    }();
    SOCKET s = started ? socket(AF_INET, SOCK_STREAM, IPPROTO_TCP) : INVALID_SOCKET;
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    int length = sizeof(address);
    if (s == INVALID_SOCKET || bind(s, reinterpret_cast<sockaddr*>(&address), sizeof(address)) != 0 ||
        listen(s, backlog) != 0 || getsockname(s, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
        closesocket(s);
        return INVALID_SOCKET;
    }
    port = ntohs(address.sin_port);
    return s;
}

// True once the head and, unless headOnly, the body it announces (in WinINet's spelling)
// are all there.
bool IsComplete(const std::string& bytes, bool headOnly)
{
    const size_t headEnd = bytes.find("\r\n\r\n");
    if (headOnly)
        return headEnd != std::string::npos;
    const size_t length = bytes.find("\r\nContent-Length: ");
    const size_t announced = length < headEnd ? std::strtoul(bytes.c_str() + length + 18, nullptr, 10) : 0;
    return headEnd != std::string::npos && bytes.size() >= headEnd + 4 + announced;
}

// Sends in pieces of 64 KiB, each once the socket takes it within 5 s, so that a client
// that stops reading ends the reply.  (Under Wine a large blocking send to a client that
// has reset the connection can wait for ever.)
void SendReply(SOCKET client, const std::string& reply)
{
    for (size_t sent = 0; sent < reply.size();) {
        fd_set writable;
        FD_ZERO(&writable);
        FD_SET(client, &writable);
        timeval wait{5, 0};
        const int piece = static_cast<int>(std::min<size_t>(reply.size() - sent, 65536));
        const int count = select(0, nullptr, &writable, nullptr, &wait) > 0 ? send(client, &reply[sent], piece, 0) : -1;
        if (count <= 0)
            return;
        sent += static_cast<size_t>(count);
    }
}
}  // namespace

bool RawListener::Start(Mode mode, const std::string& reply)
{
    m_mode = mode;
    m_reply = reply;
    m_listener = ListenOnFreePort(m_port);
    if (m_listener != INVALID_SOCKET)
        m_thread = std::thread([this] { Serve(); });
    return m_listener != INVALID_SOCKET;
}

bool RawListener::StartTrickling(const std::string& reply, size_t atOnce, DWORD intervalMs)
{
    m_atOnce = atOnce;
    m_intervalMs = intervalMs;
    return Start(Mode::Trickle, reply);
}

bool RawListener::StartReadingSlowly(size_t bytesPerSecond)
{
    m_bytesPerSecond = bytesPerSecond;
    return Start(Mode::ReadSlowly);
}

void RawListener::Stop()
{
    m_stop = true;
    if (m_thread.joinable())
        m_thread.join();
    for (SOCKET held : m_held)
        closesocket(held);
    m_held.clear();
    closesocket(m_listener);
    m_listener = INVALID_SOCKET;
}

void RawListener::Serve()
{
    while (!m_stop) {
        fd_set readable;
        FD_ZERO(&readable);
        FD_SET(m_listener, &readable);
        timeval wait{0, 50 * 1000};
        SOCKET client =
            select(0, &readable, nullptr, nullptr, &wait) > 0 ? accept(m_listener, nullptr, nullptr) : INVALID_SOCKET;
        if (client == INVALID_SOCKET)
            continue;
        if (m_mode == Mode::ReadSlowly) {
            ReadSlowly(client);
            closesocket(client);
            continue;
        }
        std::string request;
        const bool complete = ReadRequest(client, request);
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            m_received.push_back(request);
        }
        if (m_mode == Mode::Reset) {
            linger reset{1, 0};
            setsockopt(client, SOL_SOCKET, SO_LINGER, reinterpret_cast<const char*>(&reset), sizeof(reset));
        } else if (complete && m_mode == Mode::Trickle) {
            Trickle(client);
        } else if (complete) {
            SendReply(client, m_reply);
        }
        if (m_mode == Mode::Stall || m_mode == Mode::ReplyToHead)
            m_held.push_back(client);
        else
            closesocket(client);
    }
}

// Ends early when the client goes away or the listener stops (looked at every 50 ms).
void RawListener::Trickle(SOCKET client)
{
    SendReply(client, m_reply.substr(0, m_atOnce));
    for (size_t sent = m_atOnce; sent < m_reply.size() && !m_stop; ++sent) {
        for (DWORD waited = 0; waited < m_intervalMs && !m_stop; waited += 50)
            Sleep(50);
        if (m_stop || send(client, &m_reply[sent], 1, 0) != 1)
            return;
    }
}

// A tenth of the rate every 100 ms; ends when the client goes away or the listener stops.
void RawListener::ReadSlowly(SOCKET client)
{
    std::vector<char> piece(m_bytesPerSecond / 10 + 1);
    while (!m_stop) {
        Sleep(100);
        if (m_bytesPerSecond > 0 && recv(client, piece.data(), static_cast<int>(piece.size()), 0) <= 0)
            return;
    }
}

// False when the peer stopped early, or when the first byte cannot begin an HTTP
// request (a TLS hello).
bool RawListener::ReadRequest(SOCKET client, std::string& bytes)
{
    DWORD timeout = 5000;
    setsockopt(client, SOL_SOCKET, SO_RCVTIMEO, reinterpret_cast<const char*>(&timeout), sizeof(timeout));
    char buffer[65536];
    while (!m_stop && !IsComplete(bytes, m_mode == Mode::ReplyToHead)) {
        const int count = recv(client, buffer, sizeof(buffer), 0);
        if (count <= 0)
            return false;
        bytes.append(buffer, static_cast<size_t>(count));
        if (bytes[0] < 'A' || bytes[0] > 'Z')
            return false;
    }
    return !m_stop;
}

int UnusedPort()
{
    int port = -1;
    closesocket(ListenOnFreePort(port));
    return port;
}

FullListener::~FullListener()
{
    closesocket(m_queued);
    closesocket(m_listener);
}

// A queue of length 0 holds one connection: once it is there, the queue is full.
bool FullListener::Start()
{
    m_listener = ListenOnFreePort(m_port, 0);
    m_queued = m_listener != INVALID_SOCKET ? socket(AF_INET, SOCK_STREAM, IPPROTO_TCP) : INVALID_SOCKET;
    if (m_queued == INVALID_SOCKET)
        return false;
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = htons(static_cast<u_short>(m_port));
    return connect(m_queued, reinterpret_cast<sockaddr*>(&address), sizeof(address)) == 0;
}

}  // namespace vt
