// The page-jump rule: a navigation of the page to the game's URL (recognised by the
// configured "jump" text) opens the game with the URL's query text instead of loading it.
// The dialogs' browser events ask these functions and act on the answer.
#pragma once

#include "afx/afxstr.h"
#include "ui/redirect_probe.h"

// The rule's configuration, read afresh at every event ("stratergy" is spelled so).
struct PageJumpConfig {
    CString strategy;
    CString jump;
    CString startJump;
};
PageJumpConfig ReadPageJumpConfig();

// Exactly "redirect" selects the redirect strategy; anything else the plain one.
bool IsRedirectStrategy(const CString& strategy);
// The text after the first "?" of url; the whole url when it has none.
CString QueryTextOf(const CString& url);

// The URL whose query text opens the game when the page is about to navigate to url, or
// empty when the navigation should go on.  Plain strategy: url itself when it holds the
// jump text.  Redirect strategy: when url holds the start text (startJump, or jump when
// that is empty), the end of its redirect chain.
CString BeforeNavigateTarget(const CString& url, const PageJumpConfig& config, CRedirectProbe& probe);

// A completed navigation to url opens the game when url holds the jump text.
bool CompletedNavigationOpensGame(const CString& url, const CString& jump);

// Only web addresses may be handed to the system's default browser: a page must not open
// files, shares or programs through a new window.
bool IsWebAddress(const char* url);
