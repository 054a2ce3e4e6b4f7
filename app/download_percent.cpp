#include "app/download_percent.h"

#include <cmath>

int DownloadPercent(LONG downloaded, LONG total)
{
    if (total == 0)
        return 100;
    // Both counters are signed 32-bit values that a worker may have wrapped: the
    // quotient is bounded before it becomes an int.
    const double percent = std::floor(static_cast<double>(downloaded) * 100.0 / static_cast<double>(total));
    if (percent <= 0.0)
        return 0;
    return percent >= 100.0 ? 100 : static_cast<int>(percent);
}
