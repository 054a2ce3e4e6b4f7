// Blocking HTTP/HTTPS GET over WinINet for the QoS reports: one request at a time,
// the reply's body handed back as text in the program's ANSI code page.
#pragma once

#include <windows.h>

#include <string>

#include "net/inet_handle.h"

struct CRequestUrl;

// Results of CHttpClient::HttpGet.
enum HttpGetResult {
    HTTP_GET_OK = 0,       // a reply was read, whatever its status
    HTTP_GET_FAILED = 1,   // not an http or https URL, or any WinINet error but a time-out
    HTTP_GET_TIMEOUT = 2,  // WinINet gave up waiting (ERROR_INTERNET_TIMEOUT)
};

class CHttpClient {
public:
    // Opens the Internet session that every request of this client goes through.
    CHttpClient();
    virtual ~CHttpClient();
    CHttpClient(const CHttpClient&) = delete;
    CHttpClient& operator=(const CHttpClient&) = delete;

    // Closes the running request and its connection; the session stays open.
    void Clear();

    // GETs url and puts the reply's body (its first 64 KiB), converted from UTF-8 to the
    // ANSI code page, into response (empty unless the result is HTTP_GET_OK).  Nothing
    // throws: a reply that cannot be held in memory is HTTP_GET_FAILED.
    int HttpGet(const char* url, std::string& response);

    // How long later requests wait for the server's data.  The launcher keeps WinINet's
    // own limits; a test that plays a silent server sets a short one.
    void SetReceiveTimeout(DWORD milliseconds) { m_receiveTimeout = milliseconds; }

private:
    int SendGet(const CRequestUrl& url, std::string& response);
    int ResultOfNoReply(DWORD error, DWORD sentAt);
    bool ReadBody(std::string& body);

    // Handle owners; connection and request exist only inside HttpGet.  Declared in
    // this order so that destruction closes the request, the connection, then the session.
    CInternetHandle m_pSession;
    CInternetHandle m_pConnection;
    CInternetHandle m_pFile;
    DWORD m_receiveTimeout = 0;  // 0: WinINet's own
};

// The one client of the process, made at start-up and kept until the process ends.
extern CHttpClient* g_pHttpClient;
