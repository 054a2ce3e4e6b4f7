// The state of one download's worker and the callbacks that cpp-httplib calls with it.
#pragma once

#include <windows.h>

#include <cstddef>
#include <cstdint>

#include "afx/afxfile.h"
#include "net/downloader.h"
#include "net/http_url.h"

namespace httplib {
struct Response;
}

// The worker's locals, shared by reference with the callbacks of each attempt.
struct CDownloadSession {
    explicit CDownloadSession(CDownloadTask& downloadTask);

    CDownloadTask& task;
    CDownloadProgress& progress;
    CHttpUrl url;
    CFile file;             // the target, open from its first body byte to the end
    DWORD stored = 0;       // bytes of the target held in the file or the buffer
    int resumeOffset = 0;   // where the current response's body belongs in the target
    int lastStatus = 0;     // of the last response seen in this attempt, 0 when none
    int refusedStatus = 0;  // a status of this attempt whose body was kept out of the target
    int retriesLeft = 0;
    bool restartFromZero = false;  // the stored bytes cannot be continued
    bool stopRetrying = false;     // a failure that no further attempt mends
};

// Stores one chunk of body bytes in the target, opening it on the first chunk;
// false ends the request (a failure, or the download was stopped).
bool WriteDownloadChunk(CDownloadSession& session, const char* data, size_t length);

// Called once per final response after its headers: false refuses its body.
bool OnDownloadResponse(CDownloadSession& session, const httplib::Response& response);
bool OnDownloadContent(CDownloadSession& session, const char* data, size_t length);
// Bytes of this response so far and its announced length; false ends the request.
bool OnDownloadProgress(CDownloadSession& session, uint64_t current, uint64_t length);
