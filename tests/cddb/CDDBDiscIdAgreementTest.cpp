// The disc id held against libcddb's, an independent implementation of the
// database's rule, over many generated tables of contents. libcddb takes the
// tracks' frame offsets counted from the lead-in (drive address + 150) and
// the disc length in whole seconds from the lead-in, that is the lead-out's
// offset / 75, which is what our query sends as the disc length.
#include <gtest/gtest.h>

#include <cddb/cddb_disc.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "cddb/CDDBDiscId.h"

namespace {

// libcddb's id and the disc length it was given, for `starts` (lead-out last).
uint32_t LibcddbDiscId(const std::vector<int32_t>& starts, unsigned& discSeconds)
{
    cddb_disc_t* disc = cddb_disc_new();
    for (std::size_t i = 0; i + 1 < starts.size(); ++i)
    {
        cddb_track_t* track = cddb_track_new();
        cddb_track_set_frame_offset(track, starts[i] + 150);
        cddb_disc_add_track(disc, track);
    }
    discSeconds = static_cast<unsigned>(starts.back() + 150) / FRAMES_PER_SECOND;
    cddb_disc_set_length(disc, discSeconds);
    EXPECT_NE(0, cddb_disc_calc_discid(disc));
    const uint32_t id = cddb_disc_get_discid(disc);
    cddb_disc_destroy(disc);
    return id;
}

// A disc of 1 to 99 tracks of 4 s to 20 min; one in two starts after a
// hidden track of up to 5 min, and track lengths fall on any sector.
std::vector<int32_t> GenerateDisc(std::mt19937& random)
{
    std::uniform_int_distribution<int> trackCount(1, 99);
    std::uniform_int_distribution<int32_t> hiddenTrack(1, 5 * 60 * 75);
    std::uniform_int_distribution<int32_t> trackLength(4 * 75, 20 * 60 * 75);
    std::vector<int32_t> starts(1, random() % 2 ? hiddenTrack(random) : 0);
    const int n = trackCount(random);
    for (int i = 0; i < n; ++i)
        starts.push_back(starts.back() + trackLength(random));
    return starts;
}

TEST(CDDBDiscIdAgreement, GeneratedDiscsGetLibcddbsIdAndLength)
{
    std::mt19937 random(20240611);
    for (int disc = 0; disc < 20000; ++disc)
    {
        const std::vector<int32_t> starts = GenerateDisc(random);
        const int n = static_cast<int>(starts.size()) - 1;
        unsigned discSeconds = 0;
        const uint32_t expected = LibcddbDiscId(starts, discSeconds);
        ASSERT_EQ(expected, CDDBDiscId(starts.data(), n)) << "disc " << disc << " of " << n << " tracks";

        // The query names the same id and ends with the same disc length.
        char query[CDDB_QUERY_SIZE];
        MakeCDDBQuery(starts.data(), n, query, sizeof(query));
        char head[40];
        std::snprintf(head, sizeof(head), "cddb query %08x %d ", expected, n);
        ASSERT_EQ(0, std::strncmp(query, head, std::strlen(head))) << query;
        const std::string tail = " " + std::to_string(discSeconds) + "\n";
        const std::string line(query);
        ASSERT_EQ(tail, line.substr(line.size() - tail.size())) << query;
    }
}

} // namespace
