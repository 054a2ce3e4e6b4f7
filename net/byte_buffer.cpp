#include "net/byte_buffer.h"

#include <climits>
#include <cstdlib>
#include <cstring>

CByteBuffer::CByteBuffer()
{
    data = static_cast<char*>(std::malloc(kInitialCapacity));
    capacity = data ? kInitialCapacity : 0;
}

CByteBuffer::~CByteBuffer()
{
    std::free(data);
}

namespace {
// The capacity reached by doubling until needed fits, or 0 when that passes INT_MAX.
long long GrownCapacity(long long capacity, long long needed)
{
    long long grown = capacity > 0 ? capacity : CByteBuffer::kInitialCapacity;
    while (grown < needed)
        grown *= 2;
    return grown <= INT_MAX ? grown : 0;
}
}  // namespace

bool CByteBuffer::Append(const char* bytes, int n)
{
    if (n <= 0)
        return n == 0;
    const long long needed = static_cast<long long>(size) + 1 + n;
    if (needed > capacity) {
        const long long grown = GrownCapacity(capacity, needed);
        char* block = grown ? static_cast<char*>(std::malloc(static_cast<size_t>(grown))) : nullptr;
        if (!block)
            return false;
        if (size > 0)
            std::memcpy(block, data, static_cast<size_t>(size));
        std::free(data);
        data = block;
        capacity = static_cast<int>(grown);
    }
    std::memcpy(data + size, bytes, static_cast<size_t>(n));
    size += n;
    return true;
}
