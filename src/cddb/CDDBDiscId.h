// The disc id and the query line by which a disc is looked up in a CDDB
// database. Addresses are the drive's sector numbers (0 = the first sector of
// the program area); the database counts from the 150-sector lead-in, so
// 150 is added to every address sent or used in the id.
#pragma once

#include <cstddef>
#include <cstdint>

// The query line for 255 tracks: "cddb query", the id and the track count
// (24 characters), an offset of at most six digits and a space per track (a
// table of contents holds addresses up to CD_LAST_ADDRESS), the disc's
// seconds (at most four digits), the line end and the NUL: 1815 bytes.
constexpr std::size_t CDDB_QUERY_SIZE = 2048;

// `starts` holds the tracks' first sectors and, at [nTracks], the lead-out.
uint32_t CDDBDiscId(const int32_t* starts, int nTracks);
// "cddb query <id> <n> <offsets...> <disc seconds>\n" into `out` (of
// `outSize` bytes, CDDB_QUERY_SIZE being enough for every table of contents
// read). False when the line did not fit, its end included: it is then cut
// and must not be sent.
bool MakeCDDBQuery(const int32_t* starts, int nTracks, char* out, std::size_t outSize);
