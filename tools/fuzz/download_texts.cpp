// The texts the install-on-demand and the sound editor read from the
// registry: the component servers' setting, each server split into host and
// port, and the editor's command format ("RunEdit") with a file path. Every
// server is a non-empty, trimmed entry of the text; a host never holds the
// port's colon; the command is the format with its first "%s" replaced and
// nothing else changed, whatever '%' the format holds.
#include <cstring>
#include <string>

#include "FuzzCheck.h"
#include "components/ComponentServers.h"
#include "components/EditorCommand.h"

namespace {

// A registry string, as read into a text buffer: up to its first NUL, cut to fit.
std::string RegistryText(const std::string& bytes)
{
    const std::string text = bytes.substr(0, bytes.find('\0'));
    return text.substr(0, TEXT_MAX_LENGTH);
}

void CheckServers(const std::string& text)
{
    char servers[COMPONENT_SERVERS_MAX][TEXT_BUFFER_SIZE];
    const int n = SplitComponentServers(text.c_str(), servers);
    FUZZ_CHECK(n >= 0 && n <= COMPONENT_SERVERS_MAX);
    for (int i = 0; i < n; ++i)
    {
        const std::string server = servers[i];
        FUZZ_CHECK(!server.empty() && server.find(',') == std::string::npos);
        FUZZ_CHECK(server.front() != ' ' && server.front() != '\t' && server.back() != ' ' && server.back() != '\t');
        FUZZ_CHECK(text.find(server) != std::string::npos);

        char host[TEXT_BUFFER_SIZE];
        unsigned short port = 0;
        if (SplitServerAddress(servers[i], FTP_PORT, host, port))
        {
            FUZZ_CHECK(host[0] != '\0' && std::strchr(host, ':') == nullptr);
            FUZZ_CHECK(port != 0);
            FUZZ_CHECK(server == host || server == std::string(host) + ":" + std::to_string(port) ||
                       server.compare(0, std::strlen(host) + 1, std::string(host) + ":") == 0);
        }
    }
}

void CheckEditorCommand(const std::string& format, const std::string& path)
{
    char command[EDITOR_COMMAND_SIZE];
    FormatEditorCommand(format.c_str(), path.c_str(), command);
    std::string expected = format;
    const std::size_t placeholder = format.find("%s");
    if (placeholder != std::string::npos)
        expected.replace(placeholder, 2, path);
    FUZZ_CHECK(expected == command);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size)
{
    FuzzInput input(data, size);
    const std::string first = RegistryText(input.Line());
    const std::string second = RegistryText(input.Rest());
    CheckServers(first);
    CheckEditorCommand(first, second);
    return 0;
}
