// The percentage that the progress bar shows for a running download.
#pragma once

#include <windows.h>

// floor(downloaded * 100 / total), kept within 0 to 100.  A total of 0 (an empty body,
// which is complete as soon as it is announced) shows 100.
int DownloadPercent(LONG downloaded, LONG total);
