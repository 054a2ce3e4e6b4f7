// Blocking HTTP/HTTPS GET over WinINet for the QoS reports: one request at a time,
// the reply's body handed back as text in the program's ANSI code page.
#pragma once

#include <windows.h>

#include <memory>
#include <string>

#include "net/inet_handle.h"

// Results of CHttpClient::HttpGet.
enum HttpGetResult {
    HTTP_GET_OK = 0,       // a reply was read, whatever its status
    HTTP_GET_FAILED = 1,   // not an http or https URL, or any WinINet error but a time-out
    HTTP_GET_TIMEOUT = 2,  // WinINet gave up waiting (ERROR_INTERNET_TIMEOUT), or the call's total limit passed
};

class CHttpClient {
public:
    // How long one GET may hold its caller, the UI thread, in all: a report is sent and
    // forgotten, so a server that trickles its reply must not freeze the window.
    static constexpr DWORD kTotalTimeoutMs = 3000;
    // How many GETs of the process may run at a time, those that outran their total limit
    // and go on alone included.
    static constexpr int kMaxRunningGets = 4;

    // Opens the Internet session that every request of this client goes through.
    CHttpClient();
    virtual ~CHttpClient() = default;
    CHttpClient(const CHttpClient&) = delete;
    CHttpClient& operator=(const CHttpClient&) = delete;

    // GETs url and puts the reply's body (its first 64 KiB), converted from UTF-8 to the
    // ANSI code page, into response (empty unless the result is HTTP_GET_OK).  Returns
    // within kTotalTimeoutMs; HTTP_GET_FAILED at once while kMaxRunningGets GETs still run.
    // Nothing throws: a reply that cannot be held in memory is HTTP_GET_FAILED.
    int HttpGet(const char* url, std::string& response);

    // How long later requests wait for each piece of the server's data.  The launcher keeps
    // WinINet's own limits; a test that plays a silent server sets a short one.
    void SetReceiveTimeout(DWORD milliseconds) { m_receiveTimeout = milliseconds; }

private:
    // The session stays open for the client's life, and for as long as a request that
    // outran its total limit still runs on it.  Each request's connection and request
    // handles belong to the thread that runs it.
    std::shared_ptr<CInternetHandle> m_pSession;
    DWORD m_receiveTimeout = 0;  // 0: WinINet's own
};

// The one client of the process, made at start-up and kept until the process ends.
extern CHttpClient* g_pHttpClient;
