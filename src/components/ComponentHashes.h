// The SHA-256 of each component setup the program knows: a downloaded setup
// runs only when its digest is the one carried here for its name, so that a
// server, or anyone between it and the user, cannot make the program run a
// file of its own. The table is made by the build (see docs/features.md)
// from the setups it is given.
#pragma once

#include <cstddef>

struct ComponentHash
{
    const char* szSetupName;  // as ProcessInstallProgram is given it: "tssetup"
    const char* szSha256;     // 64 lower-case hexadecimal digits
};

// The digest carried in `table` for `setupName` (case ignored, as Windows
// file names are); null for a setup the table does not know.
const char* FindComponentHash(const ComponentHash* table, std::size_t count, const char* setupName);

// Whether the setup's digest `sha256Hex` is the one carried for it; a setup
// the table does not know never matches.
bool IsKnownComponentSetup(const ComponentHash* table, std::size_t count, const char* setupName,
                           const char* sha256Hex);

// The build's table.
extern const ComponentHash COMPONENT_HASHES[];
extern const std::size_t COMPONENT_HASH_COUNT;
