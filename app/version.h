// The launcher's own version text, version numbers, and the time stamp in seconds.
#pragma once

#include "afx/afxstr.h"

// FileVersion of the running executable; "" without a version resource.
CString GetExeFileVersion();
// The same, read afresh; "error" without a version resource.
CString GetAppVersionText();
// ((a*100+b)*1000+c)*100+d of "a.b.c.d", in wrapping 32-bit arithmetic.
int VersionToNumber(const char* text);
// The local clock as whole seconds since 1970 UTC (mktime decides daylight saving).
int GetLocalTimeSeconds();

// The runtime's atoi, but wrapping instead of undefined on overflow: blanks, a sign, digits.
int ParseLeadingInt(const char* text);
