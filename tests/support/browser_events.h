// Raises a hosted WebBrowser control's events as the control does (Wine's raises no completion
// or new-window events itself): through each sink on its DWebBrowserEvents2 connection point,
// with the real DISPIDs, the arguments in the control's order and types (the URL a VARIANT by
// reference holding a BSTR).  Also the message pump of the window tests.
#pragma once

#include <windows.h>

#include <oaidl.h>

#include <string>

namespace vt {

// Cancel as the control passes it, a 16-bit VARIANT_BOOL, with a guard behind it that a
// handler writing a 32-bit BOOL would overwrite.
struct CancelFlag {
    VARIANT_BOOL value = VARIANT_FALSE;
    VARIANT_BOOL guard = 0x2A2A;
};

// Each gives the number of sinks that took the event.
int FireBeforeNavigate2(IUnknown* control, const std::string& url, CancelFlag& cancel);
int FireUrlEvent(IUnknown* control, DISPID event, const std::string& url);  // NavigateComplete2, DocumentComplete
int FireNewWindow3(IUnknown* control, const std::string& url, CancelFlag& cancel);

// Runs up to 1000 of the thread's messages as the dialogs' loops do (AfxPreTranslateMessage
// first), waiting up to waitMs for the first; a WM_QUIT stays queued for QuitWasPosted.
void PumpMessages(DWORD waitMs);
// Pumps until done() holds or timeoutMs has passed; gives done().
template <typename Done> bool PumpUntil(Done done, DWORD timeoutMs)
{
    for (const DWORD start = GetTickCount(); !done() && GetTickCount() - start < timeoutMs;)
        PumpMessages(20);
    return done();
}
inline void PumpFor(DWORD ms)
{
    PumpUntil([] { return false; }, ms);
}
// Takes a queued WM_QUIT off the queue; false when there is none.
bool QuitWasPosted();

}  // namespace vt
