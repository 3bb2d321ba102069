#include "cddb/CDDBEntry.h"

#include <cstdlib>
#include <cstring>

int CDDBReplyCode(const char* line)
{
    return atoi(line);
}

bool ParseCDDBMatch(const char* line, char (&category)[TEXT_BUFFER_SIZE], char (&discId)[TEXT_BUFFER_SIZE])
{
    const char* space = strchr(line, ' ');
    if (!space || space == line)
        return false;
    const char* id = space + 1;
    size_t idLength = strcspn(id, " \r\n");
    if (idLength == 0)
        return false;
    const size_t categoryLength = static_cast<size_t>(space - line);
    CopyText(category, categoryLength + 1 < sizeof(category) ? categoryLength + 1 : sizeof(category), line);
    CopyText(discId, idLength + 1 < sizeof(discId) ? idLength + 1 : sizeof(discId), id);
    return true;
}

bool ParseCDDBMatch(const char* line, CDDBMatch& match)
{
    if (!ParseCDDBMatch(line, match.szCategory, match.szDiscId))
        return false;
    // The title follows the category, the disc id and the one space after each.
    const char* title = strchr(line, ' ') + 1;
    title += strcspn(title, " \r\n");
    if (*title == ' ')
        ++title;
    CopyText(match.szTitle, title);
    match.szTitle[strcspn(match.szTitle, "\r\n")] = '\0';
    return true;
}

LCDDBEntryReader::LCDDBEntryReader(LCDDBInfo& info) : info(info) {}

void LCDDBEntryReader::ReadLine(const char* line)
{
    const char* equals = strchr(line, '=');
    if (!equals)
        return;
    // The carriage return before the line feed is no part of the value; a
    // server that ends its lines with a line feed alone sends none.
    char value[TEXT_BUFFER_SIZE];
    CopyText(value, equals + 1);
    const size_t length = strlen(value);
    if (length > 0 && value[length - 1] == '\r')
        value[length - 1] = '\0';

    if (strncmp(line, "DTITLE", 6) == 0)
        Store(info.szTitle, bTitleSeen, value);
    else if (strncmp(line, "DYEAR=", 6) == 0)
        Store(info.szYear, bYearSeen, value);
    else if (strncmp(line, "DGENRE=", 7) == 0)
        Store(info.szGenre, bGenreSeen, value);
    else if (strncmp(line, "TTITLE", 6) == 0)
    {
        const int track = atoi(line + 6);
        if (track >= 0 && track <= CD_MAX_TRACKS)
            Store(info.Tracks[track].szName, trackSeen[track], value);
    }
}

void LCDDBEntryReader::Store(char (&field)[TEXT_BUFFER_SIZE], bool& bSeen, const char* value)
{
    if (bSeen)
        AppendText(field, value);
    else
        CopyText(field, value);
    bSeen = true;
}

void LCDDBEntryReader::Finish()
{
    if (bTitleSeen)
        DecodeCDDBEscapes(info.szTitle);
    if (bYearSeen)
        DecodeCDDBEscapes(info.szYear);
    if (bGenreSeen)
        DecodeCDDBEscapes(info.szGenre);
    for (int i = 0; i <= CD_MAX_TRACKS; ++i)
        if (trackSeen[i])
            DecodeCDDBEscapes(info.Tracks[i].szName);
}

void DecodeCDDBEscapes(char* text)
{
    char* out = text;
    for (const char* in = text; *in; ++in)
    {
        if (*in == '\\' && (in[1] == 'n' || in[1] == 't' || in[1] == '\\'))
        {
            ++in;
            *out++ = *in == 'n' ? '\n' : *in == 't' ? '\t' : '\\';
        }
        else
            *out++ = *in;
    }
    *out = '\0';
}
