#include "app/RipNames.h"

#include <cstring>

#include "files/LFile.h"

namespace {

bool SameFileName(const char* a, const char* b)
{
    auto lower = [](unsigned char c) { return c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c; };
    for (; *a != '\0' && lower(static_cast<unsigned char>(*a)) == lower(static_cast<unsigned char>(*b)); ++a, ++b)
    {
    }
    return *a == '\0' && *b == '\0';
}

} // namespace

void MakeTrackFileName(const char* rowText, const char* artist, const char* album, const LRipNameSettings& settings,
                       char (&name)[TEXT_BUFFER_SIZE])
{
    char cleanArtist[TEXT_BUFFER_SIZE];
    char cleanAlbum[TEXT_BUFFER_SIZE];
    LFile::MakeValidFileName(artist, cleanArtist);
    LFile::MakeValidFileName(album, cleanAlbum);
    const bool bGeneric = strncmp(rowText, "Track ", 6) == 0;
    if (settings.bUseCDDB && !bGeneric && settings.bFileNameNoAlbum)
        FormatText(name, sizeof(name), "%s - %s", cleanArtist, rowText);
    else if (settings.bUseCDDB && !bGeneric && settings.bFileNameIncludeAlbum)
        FormatText(name, sizeof(name), "%s - %s - %s", cleanAlbum, cleanArtist, rowText);
    else
        CopyText(name, rowText);
}

void MakeHiddenTrackFileName(const char* rowText, const char* artist, const char* album,
                             const LRipNameSettings& settings, char (&name)[TEXT_BUFFER_SIZE])
{
    char numbered[TEXT_BUFFER_SIZE];
    FormatText(numbered, sizeof(numbered), "00 - %s", rowText);
    MakeTrackFileName(numbered, artist, album, settings, name);
}

bool MakeTrackPath(const char* folder, const char* name, const char* extension, int copy,
                   char (&path)[TEXT_BUFFER_SIZE])
{
    char suffix[TEXT_BUFFER_SIZE] = "";
    if (copy > 1)
        FormatText(suffix, sizeof(suffix), " (%d)", copy);
    AppendText(suffix, extension);

    CopyText(path, folder);
    size_t length = strlen(path);
    if (length == 0 || (path[length - 1] != '\\' && path[length - 1] != '/'))
        length = AppendText(path, "\\");
    const size_t room = TEXT_MAX_LENGTH - length;
    const size_t suffixLength = strlen(suffix);
    if (suffixLength >= room || name[0] == '\0')
        return false;
    // The name gives way, never the number or the extension.
    char* file = path + length;
    CopyText(file, room - suffixLength + 1, name);
    AppendText(path, suffix);
    // A name cut short can become a device's ("Con Te Partiro" to "Con", and
    // "Con.wav" is the console): it gives way by one more character. Device
    // names have three or more, so some of the name stays.
    if (LFile::IsDeviceFileName(file))
    {
        std::size_t stem = strcspn(file, ".");
        while (file[stem - 1] == ' ')
            --stem;
        file[stem - 1] = '\0';
        AppendText(path, suffix);
    }
    return true;
}

bool MakeUniqueTrackPath(const char* folder, const char* name, const char* extension,
                         const char (*taken)[TEXT_BUFFER_SIZE], int nTaken, char (&path)[TEXT_BUFFER_SIZE])
{
    // One more copy than there are paths taken is always free.
    for (int copy = 1; copy <= nTaken + 1; ++copy)
    {
        if (!MakeTrackPath(folder, name, extension, copy, path))
            return false;
        bool bTaken = false;
        for (int i = 0; i < nTaken && !bTaken; ++i)
            bTaken = SameFileName(path, taken[i]);
        if (!bTaken)
            return true;
    }
    return false;
}

RipFormat RipFormatFromSetting(const char* outputFormat)
{
    if (strcmp(outputFormat, "MP3") == 0)
        return RipFormat::Mp3;
    if (strcmp(outputFormat, "FLAC") == 0)
        return RipFormat::Flac;
    return RipFormat::Wav;
}

const char* RipFormatExtension(RipFormat format)
{
    return format == RipFormat::Mp3 ? ".mp3" : format == RipFormat::Flac ? ".flac" : ".wav";
}

bool MakeTrackTempPath(const char* path, int attempt, char (&temp)[TEXT_BUFFER_SIZE])
{
    CopyText(temp, path);
    char* name = temp;
    for (char* c = temp; *c; ++c)
        if (*c == '\\' || *c == '/')
            name = c + 1;
    // A leading point starts a name, not an extension.
    char* dot = strrchr(name, '.');
    if (dot && dot != name)
        *dot = '\0';
    if (strlen(path) >= sizeof(temp))
        return false;
    return attempt > 0 ? AppendFormat(temp, sizeof(temp), ".%d.tmp", attempt) : AppendFormat(temp, sizeof(temp), ".tmp");
}

void MakeDiscFileName(const char* artist, const char* album, char (&name)[TEXT_BUFFER_SIZE])
{
    char cleanArtist[TEXT_BUFFER_SIZE];
    char cleanAlbum[TEXT_BUFFER_SIZE];
    LFile::MakeValidFileName(artist, cleanArtist);
    LFile::MakeValidFileName(album, cleanAlbum);
    if (cleanArtist[0] && cleanAlbum[0])
        FormatText(name, sizeof(name), "%s - %s", cleanArtist, cleanAlbum);
    else
        CopyText(name, "Audio CD");
}

bool SplitDiscTitle(const char* title, char (&artist)[TEXT_BUFFER_SIZE], char (&album)[TEXT_BUFFER_SIZE])
{
    artist[0] = '\0';
    album[0] = '\0';
    const char* separator = strstr(title, " / ");
    if (!separator)
        return false;
    char artistPart[TEXT_BUFFER_SIZE];
    const size_t artistLength = static_cast<size_t>(separator - title);
    CopyText(artistPart, artistLength + 1 < sizeof(artistPart) ? artistLength + 1 : sizeof(artistPart), title);
    LFile::MakeValidFileName(artistPart, artist);
    LFile::MakeValidFileName(separator + 3, album);
    return true;
}

bool MakeRipLogPath(const char* folder, const char* artist, const char* album, char (&path)[TEXT_BUFFER_SIZE])
{
    char name[TEXT_BUFFER_SIZE];
    MakeDiscFileName(artist, album, name);
    return MakeTrackPath(folder, name, ".log", 0, path);
}
