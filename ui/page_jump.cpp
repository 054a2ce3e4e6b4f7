#include "ui/page_jump.h"

#include <shlwapi.h>

#include "app/config.h"

PageJumpConfig ReadPageJumpConfig()
{
    const CConfig* config = CConfig::GetInstance();
    return {config->GetValue("stratergy"), config->GetValue("jump"), config->GetValue("startJump")};
}

bool IsRedirectStrategy(const CString& strategy)
{
    return strategy == "redirect";
}

CString QueryTextOf(const CString& url)
{
    const int question = url.Find('?');
    return question >= 0 ? url.Mid(question + 1) : url;
}

CString BeforeNavigateTarget(const CString& url, const PageJumpConfig& config, CRedirectProbe& probe)
{
    if (!IsRedirectStrategy(config.strategy))
        return url.Find(config.jump) >= 0 ? url : CString();
    const CString& start = config.startJump.IsEmpty() ? config.jump : config.startJump;
    if (url.Find(start) < 0)
        return CString();
    return FollowRedirectChain(probe, url, config.jump);
}

bool CompletedNavigationOpensGame(const CString& url, const CString& jump)
{
    return url.Find(jump) >= 0;
}

bool IsWebAddress(const char* url)
{
    return url && (StrCmpNIA(url, "http://", 7) == 0 || StrCmpNIA(url, "https://", 8) == 0);
}
