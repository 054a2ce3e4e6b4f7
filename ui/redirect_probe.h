// The page-jump rule's own HTTP requests: the Location of one URL's reply, read without
// following it, and the chain of such hops from a start URL to the game's URL.  Both run
// on the UI thread, so every hop and the whole chain are bounded.
#pragma once

#include <windows.h>

#include "afx/afxstr.h"
#include "net/inet_handle.h"

class CRedirectProbe {
public:
    // How long one hop may wait to connect, to send and for each read of the reply.
    static constexpr DWORD kDefaultHopTimeoutMs = 5000;

    explicit CRedirectProbe(DWORD hopTimeoutMs = kDefaultHopTimeoutMs) : m_hopTimeoutMs(hopTimeoutMs) {}

    // The Location header of url's reply; empty when the request fails, the reply has
    // none, or it is 1024 bytes or longer.  Every handle opened here is closed before
    // it returns.
    CString GetLocation(const char* url);

private:
    static constexpr DWORD kLocationBufferSize = 1024;
    bool ReadLocation(const char* url, char (&location)[kLocationBufferSize]);

    CInternetHandle m_hInternet;  // root handle of the hop under way
    DWORD m_hopTimeoutMs;
};

// When the chain gives up: after this many hops or this much time, whichever comes
// first (checked before each hop after the first).
struct RedirectChainLimits {
    int maxHops = 10;
    DWORD maxMs = 15000;
};

// From url, follows Locations until one holds jump (url itself may), then returns that
// URL's own Location: the game's URL.  Relative Locations are taken against the URL of
// their hop.  Empty when a hop gives no Location or the limits are reached; the rule then
// lets the navigation go on.
CString FollowRedirectChain(CRedirectProbe& probe, const CString& url, const CString& jump,
                            const RedirectChainLimits& limits = RedirectChainLimits());

// location as an absolute URL: unchanged when it has a scheme, else taken against base.
CString ResolveLocation(const CString& base, const CString& location);
