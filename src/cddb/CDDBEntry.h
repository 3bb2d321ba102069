// What the lookup reads from a CDDB server: reply codes, the category of a
// match, and the entry's title lines.
#pragma once

#include <cstdint>

#include "cdrom/LCDDBInfo.h"

// The number at the start of a reply, as atoi reads it.
int CDDBReplyCode(const char* line);
inline bool IsCDDBSuccess(const char* line)
{
    const int code = CDDBReplyCode(line);
    return code >= 200 && code <= 299;
}

// A match line "<category> <disc id> <title>": its first two words. False
// when the line does not hold both.
bool ParseCDDBMatch(const char* line, char (&category)[TEXT_BUFFER_SIZE], char (&discId)[TEXT_BUFFER_SIZE]);

// One disc of a list of matches, as the user chooses among them.
struct CDDBMatch
{
    char szCategory[TEXT_BUFFER_SIZE];
    char szDiscId[TEXT_BUFFER_SIZE];
    char szTitle[TEXT_BUFFER_SIZE];  // the rest of the line; empty when it has none
};
// The whole match line; false as ParseCDDBMatch.
bool ParseCDDBMatch(const char* line, CDDBMatch& match);

// Reads an entry line by line into a disc record. DTITLE names the disc,
// DYEAR and DGENRE give its year and genre, TTITLE<n> the track n (from 0); a key repeated over several lines is the
// same text split, so its pieces are joined. Values are decoded (\n, \t, \\)
// when the entry ends. Every other line is ignored.
class LCDDBEntryReader
{
public:
    explicit LCDDBEntryReader(LCDDBInfo& info);
    void ReadLine(const char* line);
    // Decodes what was read; call it however the entry ended.
    void Finish();

private:
    // Replaces the field's text on the key's first line, appends after that.
    void Store(char (&field)[TEXT_BUFFER_SIZE], bool& bSeen, const char* value);

    LCDDBInfo& info;
    bool bTitleSeen = false;
    bool bYearSeen = false;
    bool bGenreSeen = false;
    bool trackSeen[CD_MAX_TRACKS + 1] = {};
};

// Decodes the entry format's escapes in place: \n, \t and \\.
void DecodeCDDBEscapes(char* text);
