#include "components/ComponentServers.h"

#include <cstring>

namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

} // namespace

int SplitComponentServers(const char* text, char (&servers)[COMPONENT_SERVERS_MAX][TEXT_BUFFER_SIZE])
{
    int nServers = 0;
    for (const char* p = text; *p && nServers < COMPONENT_SERVERS_MAX;)
    {
        const char* end = std::strchr(p, ',');
        if (!end)
            end = p + std::strlen(p);
        const char* first = p;
        const char* last = end;
        while (first < last && IsBlank(*first))
            ++first;
        while (last > first && IsBlank(last[-1]))
            --last;
        const std::size_t length = static_cast<std::size_t>(last - first);
        if (length > 0 && length <= TEXT_MAX_LENGTH)
        {
            std::memcpy(servers[nServers], first, length);
            servers[nServers][length] = '\0';
            ++nServers;
        }
        p = *end ? end + 1 : end;
    }
    return nServers;
}

bool SplitServerAddress(const char* server, unsigned short defaultPort, char (&host)[TEXT_BUFFER_SIZE],
                        unsigned short& port)
{
    CopyText(host, server);
    port = defaultPort;
    char* colon = std::strchr(host, ':');
    if (colon)
    {
        *colon = '\0';
        unsigned long n = 0;
        const char* digit = colon + 1;
        if (*digit == '\0')
            return false;
        for (; *digit; ++digit)
        {
            if (*digit < '0' || *digit > '9')
                return false;
            n = n * 10 + static_cast<unsigned long>(*digit - '0');
            if (n > 65535)
                return false;
        }
        if (n == 0)
            return false;
        port = static_cast<unsigned short>(n);
    }
    return host[0] != '\0';
}
