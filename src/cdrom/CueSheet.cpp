#include "cdrom/CueSheet.h"

#include <cstdarg>
#include <cstdio>

#ifdef __clang__
#define SHEET_FORMAT_CHECK __attribute__((format(printf, 2, 3)))
#else
#define SHEET_FORMAT_CHECK __attribute__((format(gnu_printf, 2, 3)))
#endif

namespace {

// Appends to a sheet, remembering where it ends and whether all of it fit.
class SheetWriter
{
public:
    SheetWriter(char* out, std::size_t outSize) : out(out), outSize(outSize) { out[0] = '\0'; }

    bool Fits() const { return bFits; }

    void Line(const char* format, ...) SHEET_FORMAT_CHECK
    {
        if (!bFits)
            return;
        va_list args;
        va_start(args, format);
        const int n = vsnprintf(out + length, outSize - length, format, args);
        va_end(args);
        if (n < 0 || std::size_t(n) + 2 >= outSize - length)
        {
            bFits = false;
            out[length] = '\0';
            return;
        }
        length += std::size_t(n);
        out[length++] = '\r';
        out[length++] = '\n';
        out[length] = '\0';
    }

    // A keyword, a quoted field and what follows it. A cue sheet has no
    // escapes, so a double quote in a name becomes a single one.
    void Quoted(const char* indent, const char* keyword, const char* text, const char* after = "")
    {
        char field[TEXT_BUFFER_SIZE];
        CopyText(field, text);
        for (char* c = field; *c; ++c)
            if (*c == '"')
                *c = '\'';
        Line("%s%s \"%s\"%s", indent, keyword, field, after);
    }

private:
    char* out;
    std::size_t outSize;
    std::size_t length = 0;
    bool bFits = true;
};

// mm:ss:ff, 75 frames a second.
void SheetTime(int32_t sectors, char (&text)[16])
{
    snprintf(text, sizeof(text), "%02d:%02d:%02d", int(sectors / (75 * 60)), int(sectors / 75 % 60),
             int(sectors % 75));
}

} // namespace

bool MakeCueSheet(const CueDisc& disc, char* out, std::size_t outSize)
{
    if (outSize == 0)
        return false;
    out[0] = '\0';
    if (disc.nTracks < 1 || disc.nTracks > CUE_MAX_TRACKS)
        return false;
    for (int i = 0; i < disc.nTracks; ++i)
    {
        const CueTrack& t = disc.Tracks[i];
        const CueTrack* previous = i > 0 ? &disc.Tracks[i - 1] : nullptr;
        if (t.nNumber < 1 || t.nNumber > 99 || t.nIndex0 < 0 || t.nIndex0 > t.nIndex1
            || (previous && (t.nNumber <= previous->nNumber || t.nIndex0 < previous->nIndex1)))
            return false;
    }

    SheetWriter sheet(out, outSize);
    char fileType[16];
    FormatText(fileType, sizeof(fileType), " %s", disc.szFileType);
    sheet.Line("REM DISCID %08X", unsigned(disc.cddbId));
    sheet.Quoted("", "REM COMMENT", disc.szProgram);
    if (disc.szCatalog[0])
        sheet.Line("CATALOG %s", disc.szCatalog);
    if (disc.szPerformer[0])
        sheet.Quoted("", "PERFORMER", disc.szPerformer);
    if (disc.szTitle[0])
        sheet.Quoted("", "TITLE", disc.szTitle);

    auto trackLines = [&sheet](const CueTrack& t) {
        sheet.Line("  TRACK %02d AUDIO", t.nNumber);
        if (t.szTitle[0])
            sheet.Quoted("    ", "TITLE", t.szTitle);
        if (t.szPerformer[0])
            sheet.Quoted("    ", "PERFORMER", t.szPerformer);
        if (t.bPreEmphasis || t.bCopyPermitted)
            sheet.Line("    FLAGS%s%s", t.bCopyPermitted ? " DCP" : "", t.bPreEmphasis ? " PRE" : "");
        if (t.szIsrc[0])
            sheet.Line("    ISRC %s", t.szIsrc);
    };
    char time[16];
    for (int i = 0; i < disc.nTracks; ++i)
    {
        const CueTrack& t = disc.Tracks[i];
        const bool bGap = t.nIndex0 < t.nIndex1;
        if (i == 0 && bGap && disc.szHiddenFileName[0])
        {
            // Audio before track 1 that is not silence: its own file, as the
            // track's index 0.
            sheet.Quoted("", "FILE", disc.szHiddenFileName, fileType);
            trackLines(t);
            sheet.Line("    INDEX 00 00:00:00");
            sheet.Quoted("", "FILE", t.szFileName, fileType);
        }
        else if (i == 0)
        {
            sheet.Quoted("", "FILE", t.szFileName, fileType);
            trackLines(t);
            if (bGap)
            {
                SheetTime(t.nIndex1 - t.nIndex0, time);
                sheet.Line("    PREGAP %s", time);
            }
        }
        else if (bGap)
        {
            // The gap ends the previous track's file.
            trackLines(t);
            SheetTime(t.nIndex0 - disc.Tracks[i - 1].nIndex1, time);
            sheet.Line("    INDEX 00 %s", time);
            sheet.Quoted("", "FILE", t.szFileName, fileType);
        }
        else
        {
            sheet.Quoted("", "FILE", t.szFileName, fileType);
            trackLines(t);
        }
        sheet.Line("    INDEX 01 00:00:00");
    }
    return sheet.Fits();
}
