// The texts the install-on-demand and the sound editor read from the
// registry: the component servers' setting, each server split into host and
// port, and the editor's command format ("RunEdit") with a file path. Every
// server is a non-empty, trimmed entry of the text; a host never holds the
// port's colon; the command is the format with its first "%s" replaced and
// nothing else changed, whatever '%' the format holds. The same bytes, read
// as a listed size and the sizes of reads, make a download that never keeps
// more than its limit (the listed size, or 64 MB) and stops at the first read
// past it; and, read as a program path and its arguments, a command line whose
// first word is the whole path, quoted.
#include <cstring>
#include <string>

#include "FuzzCheck.h"
#include "components/ComponentServers.h"
#include "components/EditorCommand.h"
#include "components/ReadSize.h"
#include "jobs/CommandLine.h"

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

// The reads a server answers with, each up to 64 KiB times a factor the
// input chooses, against the limit of the listed size.
void CheckDownloadLimit(FuzzInput input)
{
    const uint32_t listed = input.Flag() ? 0 : input.U32();
    const uint32_t limit = DownloadLimit(listed);
    FUZZ_CHECK(limit == (listed ? listed : DOWNLOAD_UNLISTED_LIMIT));
    const uint32_t factor = 1u << (input.Byte() % 12);
    uint64_t total = 0;
    while (input.Left() >= 2)
    {
        const uint32_t received = static_cast<uint32_t>(input.U16()) * factor;
        const bool bWithin = IsWithinDownloadLimit(static_cast<uint32_t>(total), received, limit);
        FUZZ_CHECK(bWithin == (total + received <= limit));
        if (!bWithin)
            break;
        total += received;
    }
    FUZZ_CHECK(total <= limit);
}

void CheckCommandLine(const std::string& path, const std::string& arguments)
{
    char line[2 * TEXT_BUFFER_SIZE];
    if (!MakeCommandLine(path.c_str(), arguments.c_str(), line, sizeof(line)))
    {
        FUZZ_CHECK(line[0] == '\0');
        FUZZ_CHECK(path.empty() || path.find('"') != std::string::npos
                   || path.size() + 2 + (arguments.empty() ? 0 : 1 + arguments.size()) >= sizeof(line));
        return;
    }
    const std::string expected = "\"" + path + "\"" + (arguments.empty() ? "" : " " + arguments);
    FUZZ_CHECK(expected == line);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size)
{
    CheckDownloadLimit(FuzzInput(data, size));
    FuzzInput input(data, size);
    const std::string first = RegistryText(input.Line());
    const std::string second = RegistryText(input.Rest());
    CheckServers(first);
    CheckEditorCommand(first, second);
    CheckCommandLine(first, second);
    return 0;
}
