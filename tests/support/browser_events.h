// Raises a hosted WebBrowser control's events as the control does (Wine's raises no completion
// or new-window events itself): through each sink on its DWebBrowserEvents2 connection point,
// with the real DISPIDs, the arguments in the control's order and types (the URL a VARIANT by
// reference holding a BSTR).
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

// Arguments as a caller passes them: a value (a VT_DISPATCH one is a null object), a pointer
// to one, a text in a new BSTR.
VARIANT Variant(VARTYPE type, LONG number = 0);
VARIANT ByRef(VARTYPE type, void* pointer);
VARIANT Text(const std::string& text);

// Each gives the number of sinks that took the event.
int FireBeforeNavigate2(IUnknown* control, const std::string& url, CancelFlag& cancel);
int FireUrlEvent(IUnknown* control, DISPID event, const std::string& url);  // NavigateComplete2, DocumentComplete
int FireNewWindow3(IUnknown* control, const std::string& url, CancelFlag& cancel);

}  // namespace vt
