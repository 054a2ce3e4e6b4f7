// Unpacks one package with the launcher's unpacker, as the pipeline step calls it.
//
//   unpack_driver <package> <destination folder>
//
// Prints the time that UnzipPackage took and its result; exits 0 when the package
// was unpacked, 1 when not.
#include <windows.h>

#include <cstdio>

#include "app/package_unzip.h"

int main(int argc, char** argv)
{
    if (argc != 3) {
        std::fprintf(stderr, "usage: unpack_driver <package> <destination folder>\n");
        return 1;
    }
    LARGE_INTEGER start{}, end{}, frequency{};
    QueryPerformanceCounter(&start);
    const bool unpacked = UnzipPackage(argv[1], argv[2]);
    QueryPerformanceCounter(&end);
    QueryPerformanceFrequency(&frequency);
    std::printf("unpack seconds: %.3f\n",
                static_cast<double>(end.QuadPart - start.QuadPart) / static_cast<double>(frequency.QuadPart));
    std::printf("result: %s\n", unpacked ? "unpacked" : "failed");
    return unpacked ? 0 : 1;
}
