#include "cddb/CDDBLookup.h"

#include <windows.h>

#include <cstring>
#include <memory>
#include <vector>

#include "cddb/CDDBDiscId.h"
#include "cddb/CDDBEntry.h"
#include "cddb/LIPSocket.h"
#include "cddb/LMatchDialog.h"
#include "cdrom/CDCommands.h"
#include "cdrom/CDText.h"
#include "cdrom/LSCSI.h"

namespace {

const unsigned short CDDB_PORT = 8880;
// More than a list box is worth reading; the rest of the list is passed over.
const std::size_t CD_MAX_MATCHES = 100;

// A line from the server; false when none came (closed, silent, stopped).
bool Receive(LJobControl& job, LIPSocketStream& socket, unsigned timeoutMs, char (&line)[TEXT_BUFFER_SIZE])
{
    return ProcessRecvLine(job, socket, line, timeoutMs) == Done;
}

bool Send(LJobControl& job, LIPSocketStream& socket, unsigned timeoutMs, const char* text)
{
    return ProcessSendString(job, socket, text, timeoutMs) == Done;
}

// Sends `command` and receives its reply, which must be a success.
bool Ask(LJobControl& job, LIPSocketStream& socket, unsigned timeoutMs, const char* command,
         char (&reply)[TEXT_BUFFER_SIZE])
{
    return Send(job, socket, timeoutMs, command) && Receive(job, socket, timeoutMs, reply) && IsCDDBSuccess(reply);
}

bool IsEndOfList(const char* line) { return line[0] == '.'; }

// Several matches: the list is read to its end; when it holds more than one
// disc the user chooses, and the chosen match's entry is asked for under its
// own category and disc id. False when none was read or the user cancelled.
bool ReadChosenMatch(LJobControl& job, LIPSocketStream& socket, unsigned timeoutMs,
                     char (&category)[TEXT_BUFFER_SIZE], char (&discId)[TEXT_BUFFER_SIZE])
{
    std::vector<CDDBMatch> matches;
    char line[TEXT_BUFFER_SIZE];
    bool bEnded = false;
    while (!bEnded && Receive(job, socket, timeoutMs, line))
    {
        bEnded = IsEndOfList(line);
        CDDBMatch match;
        if (!bEnded && matches.size() < CD_MAX_MATCHES && ParseCDDBMatch(line, match))
            matches.push_back(match);
    }
    if (!bEnded || matches.empty())
        return false;
    int chosen = 0;
    if (matches.size() > 1)
    {
        LMatchDialog dialog(matches);
        chosen = dialog.Choose(nullptr);
        if (chosen < 0)
            return false;
    }
    CopyText(category, matches[chosen].szCategory);
    CopyText(discId, matches[chosen].szDiscId);
    return true;
}

// UTF-8 text in place as the window and the file names show it: in the
// program's code page, with "_" for each character the code page lacks; the
// text as it came into `utf8`, for the tags. Text that is not UTF-8 stays as
// it came, and `utf8` empty.
void FromUtf8(char (&text)[TEXT_BUFFER_SIZE], char (&utf8)[TEXT_BUFFER_SIZE])
{
    utf8[0] = '\0';
    wchar_t wide[TEXT_BUFFER_SIZE];
    if (!MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, text, -1, wide, TEXT_BUFFER_SIZE))
        return;
    CopyText(utf8, text);
    char converted[TEXT_BUFFER_SIZE];
    BOOL bDefaultUsed = FALSE;
    if (!WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, wide, -1, converted, sizeof(converted), "_",
                             &bDefaultUsed))
        return;
    CopyText(text, converted);
}

// The conversation with the server; every way out leaves the names as far as
// they got. The socket closes and the sockets library stops with `socket`.
// True when the server had an entry for the disc and sent it.
bool LookUp(LJobControl& job, LCDDBInfo& info, const int32_t* starts)
{
    // A line cut short of its end would leave the server waiting for the rest.
    char query[CDDB_QUERY_SIZE];
    if (!MakeCDDBQuery(starts, info.nTracks, query, sizeof(query)))
        return false;

    job.SetText(0, "Connected to freedb server");
    job.SetText(1, info.szCDDBServer);

    const unsigned timeoutMs = info.nCDDBTimeoutMs;
    LIPSocketStream socket;
    char line[TEXT_BUFFER_SIZE];
    if (ProcessConnectWithPort(job, socket, info.szCDDBServer, CDDB_PORT, timeoutMs) != Done)
        return false;
    if (!Receive(job, socket, timeoutMs, line) || !IsCDDBSuccess(line))
        return false;
    if (!Ask(job, socket, timeoutMs, "cddb hello undef localhost Corvane 1.32\n", line))
        return false;
    // Level 6 sends the entry in UTF-8; a server that refuses it sends it at
    // its default level, as text of its own.
    if (!Send(job, socket, timeoutMs, "proto 6\n") || !Receive(job, socket, timeoutMs, line))
        return false;
    const bool bUtf8 = CDDBReplyCode(line) == 201;

    if (!Ask(job, socket, timeoutMs, query, line) || strlen(line) < 4)
        return false;
    char category[TEXT_BUFFER_SIZE];
    char discId[TEXT_BUFFER_SIZE];
    switch (CDDBReplyCode(line))
    {
    case 200:
        if (!ParseCDDBMatch(line + 4, category, discId))
            return false;
        break;
    case 202:
        MessageBoxA(nullptr, "No CDDB match found", "Corvane", MB_OK | MB_ICONERROR);
        return false;
    case 210:
    case 211:
        if (!ReadChosenMatch(job, socket, timeoutMs, category, discId))
            return false;
        break;
    default:
        return false;
    }

    char read[3 * TEXT_BUFFER_SIZE];
    FormatText(read, sizeof(read), "cddb read %s %s\n", category, discId);
    if (!Ask(job, socket, timeoutMs, read, line))
        return false;
    LCDDBEntryReader entry(info);
    bool bComplete = false;
    while (!bComplete && Receive(job, socket, timeoutMs, line))
    {
        bComplete = IsEndOfList(line);
        if (!bComplete)
            entry.ReadLine(line);
    }
    entry.Finish();
    if (bUtf8)
    {
        FromUtf8(info.szTitle, info.szTitleUtf8);
        for (int i = 0; i < info.nTracks; ++i)
            FromUtf8(info.Tracks[i].szName, info.Tracks[i].szNameUtf8);
    }
    if (bComplete)
        Send(job, socket, timeoutMs, "cddb quit\n");
    return true;
}

// What the disc carries itself: its catalog number and the audio tracks'
// ISRCs, and its CD-Text, which names the disc where no database entry does.
// A drive that has none, or refuses the commands, leaves them empty.
ProcessResult ReadDiscData(LJobControl& job, LSCSI& scsi, LCDDBInfo& info, CDText& text)
{
    job.SetText(0, "Reading CD-Text");
    ProcessResult r = ProcessSCSICDReadCDText(job, scsi, text);
    if (r == Stopped)
        return r;
    r = ProcessSCSICDReadCatalog(job, scsi, info.szCatalog);
    if (r == Stopped)
        return r;
    for (int i = 0; i < info.nTracks; ++i)
    {
        if (info.Tracks[i].bData)
            continue;
        r = ProcessSCSICDReadIsrc(job, scsi, static_cast<uint8_t>(i + 1), info.Tracks[i].szIsrc);
        if (r == Stopped)
            return r;
    }
    return Done;
}

// The disc's CD-Text names in place of the generic ones: artist and album,
// and each track the disc names.
void NameFromCDText(const CDText& text, LCDDBInfo& info)
{
    if (!text.bFound)
        return;
    if (text.szDiscPerformer[0] || text.szDiscTitle[0])
        FormatText(info.szTitle, sizeof(info.szTitle), "%s / %s", text.szDiscPerformer, text.szDiscTitle);
    for (int i = 0; i < info.nTracks && i < CDTEXT_MAX_TRACKS; ++i)
    {
        if (text.szTrackTitle[i + 1][0])
            CopyText(info.Tracks[i].szName, text.szTrackTitle[i + 1]);
    }
    info.bNamedByCDText = 1;
}

} // namespace

ProcessResult Process(LJobControl& job, LCDDBInfo& info)
{
    job.SetText(0, "Loading Table of Contents");
    job.SetText(1, "Please wait...");
    LSCSI scsi;
    if (!scsi.OpenCDROMDrive(info.iDrive))
        return Failed;
    CDTableOfContents toc;
    const ProcessResult r = ProcessSCSICDGetTOC(job, scsi, toc);
    info.nTracks = toc.nTracks;
    if (r != Done)
        return r;
    for (int i = 0; i < info.nTracks; ++i)
    {
        LCDTrack& track = info.Tracks[i];
        FormatText(track.szName, sizeof(track.szName), "Track %.2d", i + 1);
        track.szNameUtf8[0] = '\0';
        track.nStartSector = toc.nStartSector[i];
        track.nEndSector = TrackEndSector(toc, i);
        track.nSeconds = TrackSeconds(track.nStartSector, track.nEndSector);
        track.bData = toc.bData[i];
        track.szIsrc[0] = '\0';
        track.bPreEmphasis = toc.bPreEmphasis[i];
        track.nGapStart = track.nStartSector;
    }
    info.szCatalog[0] = '\0';
    info.szTitleUtf8[0] = '\0';
    info.bNamedByCDText = 0;
    info.bHiddenAudio = 0;
    // Some 50 KB: not for the window thread's stack.
    std::unique_ptr<CDText> text(new CDText);
    if (ReadDiscData(job, scsi, info, *text) == Stopped)
        return Stopped;
    info.bCDTextSkipped = text->bSkippedDoubleByte;
    // What lies before an audio track 1 that starts after sector 0 is its
    // gap: a hidden track when it is not silence. A drive that cannot read
    // it there shows none.
    if (info.nTracks > 0 && !info.Tracks[0].bData && info.Tracks[0].nStartSector > 0)
    {
        info.Tracks[0].nGapStart = 0;
        bool bAudio = false;
        const ProcessResult hidden = ProcessSCSICDHasAudioBefore(job, scsi, info.Tracks[0].nStartSector, bAudio);
        if (hidden == Stopped)
            return Stopped;
        info.bHiddenAudio = hidden == Done && bAudio;
    }
    // The database knows a disc by its table of contents as the drive gives
    // it; its names stand over the disc's own.
    if (!info.bUseCDDB || !LookUp(job, info, toc.nStartSector))
        NameFromCDText(*text, info);
    return Done;
}
