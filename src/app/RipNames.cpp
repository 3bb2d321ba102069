#include "app/RipNames.h"

#include <cstring>

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
