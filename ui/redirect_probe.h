// The page-jump rule's own HTTP requests: the Location of one URL's reply, read without
// following it, and the chain of such hops from a start URL to the game's URL.  Both run
// on the UI thread, so every hop and the whole chain are bounded.
#pragma once

#include <windows.h>

#include "afx/afxstr.h"
#include "net/deadline.h"

// When the chain gives up: after this many hops or this much time in all, whichever comes
// first.  The time holds inside a hop too, also while its server trickles its reply.
struct RedirectChainLimits {
    int maxHops = 10;
    DWORD maxMs = 15000;
};

class CRedirectProbe {
public:
    // How long one hop may wait to connect, to send and for each read of the reply.
    static constexpr DWORD kDefaultHopTimeoutMs = 5000;
    // How many hops of the process may run at a time, those that outran their chain's
    // limit and go on alone included.
    static constexpr int kMaxRunningHops = 4;

    explicit CRedirectProbe(DWORD hopTimeoutMs = kDefaultHopTimeoutMs) : m_hopTimeoutMs(hopTimeoutMs) {}

    // The Location header of url's reply; empty when the request fails, the reply has
    // none, it is 1024 bytes or longer, or deadline passes first; at once while
    // kMaxRunningHops hops still run.  The hop runs on a thread of its own with a root
    // handle of its own, closed before it ends.
    CString GetLocation(const char* url, const CDeadline& deadline = CDeadline(RedirectChainLimits().maxMs));

private:
    DWORD m_hopTimeoutMs;
};

// From url, follows Locations until one holds jump (url itself may), then returns that
// URL's own Location: the game's URL.  Relative Locations are taken against the URL of
// their hop.  Empty when a hop gives no Location or the limits are reached; the rule then
// lets the navigation go on.
CString FollowRedirectChain(CRedirectProbe& probe, const CString& url, const CString& jump,
                            const RedirectChainLimits& limits = RedirectChainLimits());

// location as an absolute URL: unchanged when it has a scheme, else taken against base.
CString ResolveLocation(const CString& base, const CString& location);
