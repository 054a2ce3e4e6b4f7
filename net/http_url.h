// The parts of a download URL that the HTTP client needs.
#pragma once

#include <string>

struct CHttpUrl {
    std::string host;
    int port = 80;
    std::string path;  // with the query, without the fragment
};

// Splits url into host, port (80 when none is given, whatever the scheme) and
// path ("/" when empty), and logs the parts.  False when the URL does not have
// the form scheme://host:port/path?query#fragment, every part optional, when
// its port is not a TCP port number, or when it is longer than 4096 characters.
bool ParseHttpUrl(const std::string& url, CHttpUrl& out);
