// A CDDB server's side of a lookup and the files named from it: the reply
// codes and match lines, an entry read line by line into the disc record, the
// disc title split into artist and album, and every track's file name and
// path in an output folder, as the rip makes them.
#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "FuzzCheck.h"
#include "NameChecks.h"
#include "app/RipNames.h"
#include "app/RipRequest.h"
#include "cddb/CDDBEntry.h"
#include "files/LFile.h"

namespace {

// A line as the socket reader keeps it: at most 259 characters.
std::string Received(const std::string& line)
{
    return line.substr(0, std::min(strnlen(line.c_str(), line.size()), TEXT_MAX_LENGTH));
}

void CheckReply(const char* line)
{
    const int code = CDDBReplyCode(line);
    FUZZ_CHECK(code == atoi(line));
    FUZZ_CHECK(IsCDDBSuccess(line) == (code >= 200 && code <= 299));
    // A match: the line's first word and the second up to a space or line
    // end, both there and each whole when it fits.
    char category[TEXT_BUFFER_SIZE];
    char discId[TEXT_BUFFER_SIZE];
    if (!ParseCDDBMatch(line, category, discId))
        return;
    const char* space = strchr(line, ' ');
    FUZZ_CHECK(space && space != line);
    const std::size_t categoryLength = std::min(static_cast<std::size_t>(space - line), TEXT_MAX_LENGTH);
    FUZZ_CHECK(strlen(category) == categoryLength && strncmp(category, line, categoryLength) == 0);
    const std::size_t idLength = std::min(strcspn(space + 1, " \r\n"), TEXT_MAX_LENGTH);
    FUZZ_CHECK(idLength > 0 && strlen(discId) == idLength && strncmp(discId, space + 1, idLength) == 0);
}

// The entry's fields as the reader's header says: a key's pieces joined (cut
// at the field's size), the carriage return of each line dropped, then the
// escapes decoded.
std::string Decoded(const std::string& text)
{
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i)
    {
        const char next = i + 1 < text.size() ? text[i + 1] : '\0';
        if (text[i] == '\\' && (next == 'n' || next == 't' || next == '\\'))
        {
            out += next == 'n' ? '\n' : next == 't' ? '\t' : '\\';
            ++i;
        }
        else
            out += text[i];
    }
    return out;
}

struct ExpectedEntry
{
    std::map<int, std::string> fields;  // -1: the title; n: track n

    void Read(const std::string& line)
    {
        const std::size_t equals = line.find('=');
        if (equals == std::string::npos)
            return;
        std::string value = line.substr(equals + 1, TEXT_MAX_LENGTH);
        if (!value.empty() && value.back() == '\r')
            value.pop_back();
        int key;
        if (line.compare(0, 6, "DTITLE") == 0)
            key = -1;
        else if (line.compare(0, 6, "TTITLE") == 0)
        {
            key = atoi(line.c_str() + 6);
            if (key < 0 || key > CD_MAX_TRACKS)
                return;
        }
        else
            return;
        std::string& field = fields[key];
        field = (field + value).substr(0, TEXT_MAX_LENGTH);
    }
};

struct Folder
{
    char text[TEXT_BUFFER_SIZE];
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size)
{
    // A byte of choices, then lines: the output folder, a typed artist and
    // album, then what the server sends.
    FuzzInput input(data, size);
    const uint8_t choices = input.Byte();
    const LRipNameSettings settings = {(choices & 1) != 0, (choices & 2) != 0, (choices & 4) != 0};
    const bool bTypedNames = (choices & 8) != 0;
    const int nTracks = 1 + input.Byte() % CD_MAX_TRACKS;
    Folder folder;
    CopyText(folder.text, Received(input.Line()).c_str());
    const std::string typedArtist = Received(input.Line());
    const std::string typedAlbum = Received(input.Line());

    static LCDDBInfo info;
    memset(&info, 0, sizeof(info));
    info.nTracks = static_cast<uint8_t>(nTracks);
    for (int i = 0; i < nTracks; ++i)
        FormatText(info.Tracks[i].szName, sizeof(info.Tracks[i].szName), "Track %.2d", i + 1);
    LCDDBEntryReader reader(info);
    ExpectedEntry expected;
    while (input.Left() > 0)
    {
        const std::string line = Received(input.Line());
        CheckReply(line.c_str());
        if (line.size() >= 4)
            CheckReply(line.c_str() + 4);
        reader.ReadLine(line.c_str());
        expected.Read(line);
    }
    reader.Finish();
    FUZZ_CHECK(info.szTitle == Decoded(expected.fields.count(-1) ? expected.fields[-1] : ""));
    for (int i = 0; i <= CD_MAX_TRACKS; ++i)
    {
        if (expected.fields.count(i))
            FUZZ_CHECK(info.Tracks[i].szName == Decoded(expected.fields[i]));
        else if (i >= nTracks)
            FUZZ_CHECK(info.Tracks[i].szName[0] == '\0');
    }

    // The title's parts become parts of file names.
    char artist[TEXT_BUFFER_SIZE];
    char album[TEXT_BUFFER_SIZE];
    const bool bSplit = SplitDiscTitle(info.szTitle, artist, album);
    FUZZ_CHECK(bSplit == (strstr(info.szTitle, " / ") != nullptr));
    CheckCleanName(artist);
    CheckCleanName(album);
    if (bTypedNames)
    {
        CopyText(artist, typedArtist.c_str());
        CopyText(album, typedAlbum.c_str());
    }

    // The rows show the cleaned names; a row cleaned to nothing keeps its
    // generic name. Every row a rip takes gets a path of its own in the folder.
    const char* extension = (choices & 16) ? ".mp3" : ".wav";
    const int nRows = std::min(nTracks, MAX_RIP_ROWS);
    std::vector<Folder> taken(nRows);
    int nTaken = 0;
    for (int i = 0; i < nRows; ++i)
    {
        char row[TEXT_BUFFER_SIZE];
        LFile::MakeValidFileName(info.Tracks[i].szName, row);
        CheckCleanName(row);
        if (row[0] == '\0')
            FormatText(row, sizeof(row), "Track %.2d", i + 1);
        char name[TEXT_BUFFER_SIZE];
        MakeTrackFileName(row, artist, album, settings, name);
        FUZZ_CHECK(strnlen(name, sizeof(name)) < sizeof(name));
        FUZZ_CHECK(!strpbrk(name, "\\/:."));
        char path[TEXT_BUFFER_SIZE];
        const bool bMade = MakeUniqueTrackPath(folder.text, name, extension,
                                               reinterpret_cast<const char(*)[TEXT_BUFFER_SIZE]>(taken.data()),
                                               nTaken, path);
        if (!bMade)
        {
            // Only a folder that leaves no room for a name and a copy number.
            FUZZ_CHECK(strlen(folder.text) + 1 + strlen(" (100)") + strlen(extension) >= TEXT_MAX_LENGTH);
            continue;
        }
        CheckTrackPath(folder.text, extension, path);
        for (int j = 0; j < nTaken; ++j)
            FUZZ_CHECK(strcasecmp(path, taken[j].text) != 0);
        CopyText(taken[nTaken++].text, path);
    }
    return 0;
}
