// SHA-256 (FIPS 180-4), for checking a downloaded setup against the digest
// the program carries for it before the setup is run.
#pragma once

#include <cstddef>
#include <cstdint>

constexpr std::size_t SHA256_SIZE = 32;
// The digest as 64 lower-case hexadecimal digits and a terminating zero.
constexpr std::size_t SHA256_HEX_SIZE = 2 * SHA256_SIZE + 1;

class Sha256
{
public:
    Sha256();
    // Adds `size` bytes to the message.
    void Update(const void* bytes, std::size_t size);
    // Ends the message and writes its digest; the object then starts a new one.
    void Final(uint8_t (&digest)[SHA256_SIZE]);
    void FinalHex(char (&hex)[SHA256_HEX_SIZE]);

private:
    void Reset();
    void Block(const uint8_t* block);

    uint32_t state[8];
    uint64_t nLength;     // bytes so far
    uint8_t buffer[64];
    std::size_t nBuffered;
};
