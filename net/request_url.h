// Splitting of a URL into what a WinINet request needs: scheme, server, port and
// the object (path with query) that goes into the request line.
#pragma once

#include <windows.h>

#include <wininet.h>

#include "afx/afxstr.h"

struct CRequestUrl {
    INTERNET_SCHEME scheme = INTERNET_SCHEME_UNKNOWN;
    CString server;
    INTERNET_PORT port = 0;
    CString object;  // path and query; "/" when the URL has no path
};

// Percent-encodes what cannot stand in a request line, anywhere in the URL: blanks,
// control bytes, DEL, both bytes of each double-byte character (code page 936 text)
// and any other byte of 0x80 and above, and a "%" that does not begin an escape.  In
// the query (from the first "?") the characters that a URL may not hold, and "#", are
// encoded too, so that the server gets the query's text back whole by decoding it.
// Existing escapes and every other character stay as written.
CString EscapeUrlForRequestLine(const char* url);

// Escapes the URL as above, canonicalises it the way a browser does (unsafe characters
// and dot segments of the path) and splits it.  False when it has no scheme or server.
bool ParseRequestUrl(const char* url, CRequestUrl& parts);
