#include "app/RipNames.h"

#include <cstring>

#include "files/LFile.h"

void MakeTrackFileName(const char* rowText, const char* artist, const char* album, const LRipNameSettings& settings,
                       char (&name)[TEXT_BUFFER_SIZE])
{
    const bool bGeneric = strncmp(rowText, "Track ", 6) == 0;
    if (settings.bUseCDDB && !bGeneric && settings.bFileNameNoAlbum)
        FormatText(name, sizeof(name), "%s - %s", artist, rowText);
    else if (settings.bUseCDDB && !bGeneric && settings.bFileNameIncludeAlbum)
        FormatText(name, sizeof(name), "%s - %s - %s", album, artist, rowText);
    else
        CopyText(name, rowText);
}

void MakeTrackPath(const char* folder, const char* name, const char* extension, char (&path)[TEXT_BUFFER_SIZE])
{
    CopyText(path, folder);
    const size_t length = strlen(path);
    if (length == 0 || (path[length - 1] != '\\' && path[length - 1] != '/'))
        AppendText(path, "\\");
    AppendText(path, name);
    AppendText(path, extension);
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
