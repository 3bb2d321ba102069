// The disc id and the query line by which a disc is looked up in a CDDB
// database. Addresses are the drive's sector numbers (0 = the first sector of
// the program area); the database counts from the 150-sector lead-in, so
// 150 is added to every address sent or used in the id.
#pragma once

#include <cstddef>
#include <cstdint>

// The query line for 255 tracks: about 30 characters plus up to 7 per track.
constexpr std::size_t CDDB_QUERY_SIZE = 2048;

// `starts` holds the tracks' first sectors and, at [nTracks], the lead-out.
uint32_t CDDBDiscId(const int32_t* starts, int nTracks);
// "cddb query <id> <n> <offsets...> <disc seconds>\n" into `out` (at least
// CDDB_QUERY_SIZE bytes for 255 tracks; cut at `outSize`).
void MakeCDDBQuery(const int32_t* starts, int nTracks, char* out, std::size_t outSize);
