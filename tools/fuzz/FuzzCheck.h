// What every fuzz target shares: a check that stops the run on a broken
// promise, as a sanitizer does on a fault, and a reader that takes typed
// values from the front of an input.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#define FUZZ_CHECK(condition)                                                                       \
    do                                                                                              \
    {                                                                                               \
        if (!(condition))                                                                           \
        {                                                                                           \
            fprintf(stderr, "%s:%d: promise broken: %s\n", __FILE__, __LINE__, #condition);         \
            abort();                                                                                \
        }                                                                                           \
    } while (false)

// Values from the front of the input; zeros once it is used up.
class FuzzInput
{
public:
    FuzzInput(const uint8_t* data, std::size_t size) : data(data), size(size) {}

    std::size_t Left() const { return size - at; }

    uint8_t Byte() { return at < size ? data[at++] : 0; }
    uint16_t U16()
    {
        const uint16_t low = Byte();
        return static_cast<uint16_t>(low | Byte() << 8);
    }
    uint32_t U32()
    {
        const uint32_t low = U16();
        return low | static_cast<uint32_t>(U16()) << 16;
    }
    int32_t I32() { return static_cast<int32_t>(U32()); }
    bool Flag() { return (Byte() & 1) != 0; }

    // The bytes up to the next line feed (which is passed over), or the rest.
    std::string Line()
    {
        std::string line;
        while (at < size && data[at] != '\n')
            line += static_cast<char>(data[at++]);
        if (at < size)
            ++at;
        return line;
    }

    // The rest of the input.
    std::string Rest()
    {
        std::string rest(reinterpret_cast<const char*>(data + at), size - at);
        at = size;
        return rest;
    }

private:
    const uint8_t* data;
    std::size_t size;
    std::size_t at = 0;
};
