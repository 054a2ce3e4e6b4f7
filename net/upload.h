// Upload of one local file as a multipart/form-data POST: the file goes out in the
// part "logfile" under the caller's remote name, followed by a "submit" part.
#pragma once

#include <windows.h>

#include "afx/afxstr.h"

// The separator of the body's parts (42 characters).
extern const char kUploadBoundary[];

// Results of UploadFile.
enum UploadResult {
    UPLOAD_OK = 0,                // sent, and the reply read whatever its status
    UPLOAD_NO_INPUT = -1,         // url or local path empty
    UPLOAD_BAD_URL = -2,          // url cannot be split
    UPLOAD_FILE_UNREADABLE = -3,  // the local file cannot be opened (missing, or held open for writing)
    UPLOAD_NO_BUFFER = -4,        // no memory for the transfer buffer
    UPLOAD_TRANSFER_FAILED = -5,  // connecting, sending, a local read or reading the reply failed
};

// "Content-Type: multipart/form-data; boundary=<boundary>\r\n"
CString MakeRequestHeaders(const char* boundary);
// The body up to the file's bytes: separator line, the part's headers and the empty line.
// 170 bytes plus the length of remoteName, which is inserted unchanged.
CString MakePreFileData(const char* boundary, const char* remoteName);
// The body after the file's bytes: the "submit" part and the closing line; 157 bytes.
CString MakePostFileData(const char* boundary);

// How long one upload may hold its caller, the UI thread, in all.
constexpr DWORD kUploadTotalTimeoutMs = 15000;
// How many uploads of the process may run at a time, those that outran their total limit
// and go on alone included.  A run makes two at most.
constexpr int kMaxRunningUploads = 2;

// POSTs the file at localPath to url as remoteName, streaming it in chunks of 1 MiB,
// and puts the reply's first 64 KiB (each portion up to a zero byte) into response.  An
// https url is sent over TLS.  Other writers of the file are refused while it is sent.
// Returns within totalMs: an upload still under way then is UPLOAD_TRANSFER_FAILED with
// an empty response, and so is an upload refused at once while kMaxRunningUploads still run.
// An upload given up on stops writing and lets the file go within 5 s more (one write).
// Nothing throws: running out of memory is UPLOAD_TRANSFER_FAILED.
int UploadFile(const CString& url, const CString& localPath, const CString& remoteName, CString& response,
               DWORD totalMs = kUploadTotalTimeoutMs);
