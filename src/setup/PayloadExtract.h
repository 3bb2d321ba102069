// Unpacks the payload of a setup file into the install folder.
#pragma once

#include <windows.h>

#include <cstdint>

#include "jobs/LJobControl.h"

// The corrupt-file message of start-up and of the install job.
void ShowCorruptSetupFile(HWND hOwner);

// Checks the whole payload of `setupPath` first (sizes that fill the file,
// then the checksum) and writes nothing unless it holds; then writes each
// file of the install table beside its place in `installFolder` under a name
// of its own, and only once every one is whole puts them in place, replacing
// what is there. Done when every file was put in place; Failed after a
// message owned by `hOwner` (a damaged payload, a file that could not be
// written) or silently when the setup file cannot be read; Stopped when the
// job was stopped. Short of Done, the files written are removed, and an
// earlier installation stays as it was unless a file could not be put in place.
ProcessResult ProcessExtractPayload(LJobControl& job, HWND hOwner, const char* setupPath, const char* installFolder);

// The last four bytes of the file `path`; 0 when they cannot be read.
uint32_t ReadTrailer(const char* path);

// Appends the 4-byte `trailer` to the existing file `path`; a file that
// cannot be opened is left alone.
void AppendTrailer(const char* path, uint32_t trailer);
