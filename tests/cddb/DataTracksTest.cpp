// Discs with a data track: the record "Loading CD Information" fills marks
// it, and the last audio track ends where its audio does, so that a rip of
// the record's sectors gives exactly the track.
#include <gtest/gtest.h>

#include <windows.h>

#include <cstring>
#include <memory>
#include <vector>

#include "cddb/CDDBLookup.h"
#include "cdrom/LCDROMRipSectors.h"
#include "cdrom/VirtualDrives.h"
#include "sound/RecordingSink.h"
#include "TestJobs.h"

namespace {

class DataTracksTest : public VirtualDrivesTest
{
};

TEST_F(DataTracksTest, TheRecordMarksDataTracksAndTheLastAudioTrackRipsWhole)
{
    const struct
    {
        const char* disc;
        std::vector<bool> data;
        std::vector<int32_t> starts;
        std::vector<int32_t> ends;
        std::vector<int32_t> seconds;
        int lastAudio;  // index of the last audio track
    } cases[] = {
        // Mixed mode: the data track comes first.
        {"data-track-first", {true, false, false}, {0, 30, 70}, {30, 70, 120}, {0, 0, 0}, 2},
        // CD-Extra: the data track starts a second session 11400 sectors after
        // the audio (lead-out 11650).
        {"cd-extra", {false, false, true}, {0, 40, 11600}, {40, 200, 11650}, {0, 2, 0}, 1},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.disc);
        auto fresh = std::make_unique<VirtualDeviceIo>();
        SetDeviceIo(fresh.get());
        io = std::move(fresh);
        io->AddDrive('D', DRIVE_CDROM, Disc(c.disc));

        LCDDBInfo info;
        memset(&info, 0, sizeof(info));
        info.bUseCDDB = false;
        TestJobControl job;
        ASSERT_EQ(Done, Process(job, info));
        ASSERT_EQ(3, info.nTracks);
        std::vector<bool> data;
        std::vector<int32_t> starts, ends, seconds;
        for (int i = 0; i < info.nTracks; ++i)
        {
            data.push_back(info.Tracks[i].bData != 0);
            starts.push_back(info.Tracks[i].nStartSector);
            ends.push_back(info.Tracks[i].nEndSector);
            seconds.push_back(info.Tracks[i].nSeconds);
        }
        EXPECT_EQ(c.data, data);
        EXPECT_EQ(c.starts, starts);
        EXPECT_EQ(c.ends, ends);
        EXPECT_EQ(c.seconds, seconds);

        const LCDTrack& last = info.Tracks[c.lastAudio];
        LCountedPtr<RecordingSink> sink(new RecordingSink);
        LCDROMRipSectors rip;
        rip.nDrive = 0;
        rip.nStartSector = last.nStartSector;
        rip.nEndSector = last.nEndSector;
        rip.Sink = sink;
        EXPECT_EQ(Done, Process(job, rip));
        const int32_t nSectors = c.ends[c.lastAudio] - c.starts[c.lastAudio];
        EXPECT_TRUE(sink->samples == ImageSamples(c.disc, c.starts[c.lastAudio], nSectors))
            << "the rip is not the track's audio, bit for bit";
    }
}

} // namespace
