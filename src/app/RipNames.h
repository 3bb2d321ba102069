// How the rip names a track's file from its row, the artist and the album, and
// how a disc's title becomes the artist and the album.
#pragma once

#include "files/TextBuffer.h"

// The files a rip writes, from "OutputFormat": exactly "MP3" or "FLAC" (in
// that case), else WAV in the saved wave format.
enum class RipFormat
{
    Wav,
    Mp3,
    Flac,
};
RipFormat RipFormatFromSetting(const char* outputFormat);
// ".wav", ".mp3" or ".flac".
const char* RipFormatExtension(RipFormat format);

struct LRipNameSettings
{
    bool bUseCDDB;               // "UseCDDB"
    bool bFileNameNoAlbum;       // "FileNameNoAlbum": artist - name
    bool bFileNameIncludeAlbum;  // "FileNameIncludeAlbum": album - artist - name
};

// The file name (without folder or extension) of a row. A row whose text
// begins with "Track " keeps it as it is; otherwise the settings may put the
// artist, or the album and the artist, in front. Artist and album are typed
// by the user: they are cleaned as file names here (a ':' would name a
// stream inside another file, a '\' another folder).
void MakeTrackFileName(const char* rowText, const char* artist, const char* album, const LRipNameSettings& settings,
                       char (&name)[TEXT_BUFFER_SIZE]);

// The file name of the hidden track's row: as MakeTrackFileName names a row
// whose text is "00 - " and the row's text, its track number in front.
void MakeHiddenTrackFileName(const char* rowText, const char* artist, const char* album,
                             const LRipNameSettings& settings, char (&name)[TEXT_BUFFER_SIZE]);

// folder + '\' (unless it ends in a separator) + name + extension (".wav");
// copies 2, 3 ... of a name get " (2)", " (3)" ... after it. The name is
// shortened so that the path keeps its extension within 259 characters, and
// one character more where the shortened name would be a device's ("Con");
// false when not one character of the name fits.
bool MakeTrackPath(const char* folder, const char* name, const char* extension, int copy,
                   char (&path)[TEXT_BUFFER_SIZE]);

// MakeTrackPath with the first copy number whose path differs from each of
// the `nTaken` paths in `taken`, compared as Windows compares file names
// (letters in either case are the same).
bool MakeUniqueTrackPath(const char* folder, const char* name, const char* extension,
                         const char (*taken)[TEXT_BUFFER_SIZE], int nTaken, char (&path)[TEXT_BUFFER_SIZE]);

// Where a track is written until it is complete: `path` with its extension
// replaced by ".tmp", so that it stays in the output folder and is never the
// final name of any track (those end in ".wav", ".mp3" or ".flac"). A file of the
// user's may have that name: attempt n > 0 gives ".n.tmp" instead, for the
// rip to take the first name that no file has. False when the name does not
// fit the path's buffer.
constexpr int TRACK_TEMP_ATTEMPTS = 100;
bool MakeTrackTempPath(const char* path, int attempt, char (&temp)[TEXT_BUFFER_SIZE]);

// The name of a file about the whole disc (its cue sheet, its log), without
// folder or extension: "<artist> - <album>", or "Audio CD" unless both are
// there; cleaned as MakeTrackFileName cleans.
void MakeDiscFileName(const char* artist, const char* album, char (&name)[TEXT_BUFFER_SIZE]);

// Splits a disc title "artist / album" at its first " / ". Both parts become
// parts of file names, so what a disc database sends is cleaned as a file
// name (LFile::MakeValidFileName): it must not lead a path out of the output
// folder. False, with both emptied, when the title has no separator.
bool SplitDiscTitle(const char* title, char (&artist)[TEXT_BUFFER_SIZE], char (&album)[TEXT_BUFFER_SIZE]);

// The rip's log beside its files: "<artist> - <album>.log", both cleaned as
// file names, or "Audio CD.log" when either is empty (after cleaning).
bool MakeRipLogPath(const char* folder, const char* artist, const char* album, char (&path)[TEXT_BUFFER_SIZE]);
