// A byte ring between exactly one writer thread and one reader thread, with no
// lock. Each index has one owner: the writer moves the write index, the reader
// the read index; each side only looks at the other's index to size its copy.
// One byte always stays unused, so a full ring never looks empty.
#pragma once

#include <atomic>
#include <cstdint>

class LBucketThreadUnsafe
{
public:
    // Holds at most `size` - 1 bytes. A ring that cannot be allocated (or a size
    // below 2) holds nothing: every write and read then moves 0 bytes.
    explicit LBucketThreadUnsafe(uint32_t size);
    ~LBucketThreadUnsafe();
    LBucketThreadUnsafe(const LBucketThreadUnsafe&) = delete;
    LBucketThreadUnsafe& operator=(const LBucketThreadUnsafe&) = delete;

    uint32_t GetSize() const { return nSize; }
    // Bytes the reader can take now.
    uint32_t GetUsed() const;
    // Bytes the writer can put in now.
    uint32_t GetFree() const;

    // Writer side: copies min(free, bytes) bytes in; returns how many.
    uint32_t Write(const void* data, uint32_t bytes);
    // Reader side: copies min(used, bytes) bytes out; returns how many.
    uint32_t Read(void* out, uint32_t bytes);

private:
    uint32_t Distance(uint32_t from, uint32_t to) const;
    uint32_t Advance(uint32_t index, uint32_t n) const;

    uint32_t nSize;
    uint8_t* buffer;
    // Release on store, acquire on the other side's load: the bytes copied
    // before an index moves are visible to the thread that sees it move.
    std::atomic<uint32_t> iRead{0};
    std::atomic<uint32_t> iWrite{0};
};
