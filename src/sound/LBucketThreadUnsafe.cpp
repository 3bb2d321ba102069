#include "sound/LBucketThreadUnsafe.h"

#include <algorithm>
#include <cstring>
#include <new>

LBucketThreadUnsafe::LBucketThreadUnsafe(uint32_t size)
    : nSize(size), buffer(size >= 2 ? new (std::nothrow) uint8_t[size] : nullptr)
{
    // Capacity 1 keeps the index arithmetic valid and holds no byte.
    if (!buffer)
        nSize = 1;
}

LBucketThreadUnsafe::~LBucketThreadUnsafe()
{
    delete[] buffer;
}

// Index arithmetic modulo nSize, written so that no sum passes 2^32 whatever the size.
uint32_t LBucketThreadUnsafe::Distance(uint32_t from, uint32_t to) const
{
    return to >= from ? to - from : nSize - (from - to);
}

uint32_t LBucketThreadUnsafe::Advance(uint32_t index, uint32_t n) const
{
    return n < nSize - index ? index + n : n - (nSize - index);
}

uint32_t LBucketThreadUnsafe::GetUsed() const
{
    uint32_t read = iRead.load(std::memory_order_acquire);
    uint32_t write = iWrite.load(std::memory_order_acquire);
    return Distance(read, write);
}

uint32_t LBucketThreadUnsafe::GetFree() const
{
    return nSize - 1 - GetUsed();
}

uint32_t LBucketThreadUnsafe::Write(const void* data, uint32_t bytes)
{
    uint32_t write = iWrite.load(std::memory_order_relaxed);
    // Acquire: the reader has finished copying out the bytes it gave back.
    uint32_t read = iRead.load(std::memory_order_acquire);
    uint32_t n = std::min(bytes, nSize - 1 - Distance(read, write));
    if (n == 0)
        return 0;
    uint32_t first = std::min(n, nSize - write);
    memcpy(buffer + write, data, first);
    memcpy(buffer, static_cast<const uint8_t*>(data) + first, n - first);
    iWrite.store(Advance(write, n), std::memory_order_release);
    return n;
}

uint32_t LBucketThreadUnsafe::Read(void* out, uint32_t bytes)
{
    uint32_t read = iRead.load(std::memory_order_relaxed);
    // Acquire: the writer's bytes up to this index are in the buffer.
    uint32_t write = iWrite.load(std::memory_order_acquire);
    uint32_t n = std::min(bytes, Distance(read, write));
    if (n == 0)
        return 0;
    uint32_t first = std::min(n, nSize - read);
    memcpy(out, buffer + read, first);
    memcpy(static_cast<uint8_t*>(out) + first, buffer, n - first);
    iRead.store(Advance(read, n), std::memory_order_release);
    return n;
}
