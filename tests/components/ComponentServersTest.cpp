#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "components/ComponentServers.h"

TEST(ComponentServers, TheSettingNamesOneOrTwoServers)
{
    struct Case
    {
        const char* text;
        std::vector<std::string> servers;
    };
    const Case cases[] = {
        {COMPONENT_SERVERS_DEFAULT, {"ftp.talmarin.com", "ftp2.talmarin.com"}},
        {"127.0.0.1:2121", {"127.0.0.1:2121"}},
        {" a.example:21 ,\tb.example ", {"a.example:21", "b.example"}},
        {"a,,b", {"a", "b"}},
        {"a,b,c", {"a", "b"}},
        {"", {}},
        {" , ", {}},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.text);
        char servers[COMPONENT_SERVERS_MAX][TEXT_BUFFER_SIZE];
        const int n = SplitComponentServers(c.text, servers);
        ASSERT_EQ(n, static_cast<int>(c.servers.size()));
        for (int i = 0; i < n; ++i)
            EXPECT_EQ(servers[i], c.servers[i]);
    }
}

TEST(ComponentServers, AServerIsAHostWithAnOptionalPort)
{
    struct Case
    {
        const char* server;
        bool bValid;
        const char* host;
        unsigned short port;
    };
    const Case cases[] = {
        {"ftp.talmarin.com", true, "ftp.talmarin.com", 21},
        {"127.0.0.1:2121", true, "127.0.0.1", 2121},
        {"h:65535", true, "h", 65535},
        {"h:65536", false, "h", 21},
        {"h:0", false, "h", 21},
        {"h:", false, "h", 21},
        {"h:21x", false, "h", 21},
        {":21", false, "", 21},
        {"", false, "", 21},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.server);
        char host[TEXT_BUFFER_SIZE];
        unsigned short port = 0;
        EXPECT_EQ(SplitServerAddress(c.server, FTP_PORT, host, port), c.bValid);
        if (c.bValid)
        {
            EXPECT_STREQ(host, c.host);
            EXPECT_EQ(port, c.port);
        }
    }
}
