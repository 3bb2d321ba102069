#include "components/ComponentHashes.h"

#include <cstring>

namespace {

char Lower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

bool SameName(const char* a, const char* b)
{
    for (; *a && *b; ++a, ++b)
        if (Lower(*a) != Lower(*b))
            return false;
    return *a == *b;
}

} // namespace

const char* FindComponentHash(const ComponentHash* table, std::size_t count, const char* setupName)
{
    for (std::size_t i = 0; i < count; ++i)
        if (SameName(table[i].szSetupName, setupName))
            return table[i].szSha256;
    return nullptr;
}

bool IsKnownComponentSetup(const ComponentHash* table, std::size_t count, const char* setupName,
                           const char* sha256Hex)
{
    const char* known = FindComponentHash(table, count, setupName);
    return known && std::strlen(known) == 64 && SameName(known, sha256Hex);
}
