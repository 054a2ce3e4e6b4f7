// A growable block of bytes: where a download goes when it has no local file.
#pragma once

class CByteBuffer {
public:
    static constexpr int kInitialCapacity = 4096;

    CByteBuffer();
    ~CByteBuffer();
    CByteBuffer(const CByteBuffer&) = delete;
    CByteBuffer& operator=(const CByteBuffer&) = delete;

    // Appends n bytes, doubling the block as often as needed so that one byte
    // always stays spare behind the data.  False, with the buffer unchanged,
    // when the block cannot grow (no memory, or more than 2 GiB in all).
    bool Append(const char* bytes, int n);
    // Forgets the content; the block is kept for the next use.
    void Clear() { size = 0; }

    char* data = nullptr;
    int size = 0;
    int capacity = 0;
};
