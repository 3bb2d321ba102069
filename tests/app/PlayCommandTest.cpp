#include <gtest/gtest.h>

#include <windows.h>
#include <tlhelp32.h>

#include <cstring>
#include <functional>
#include <vector>

#include "MainDialogFixture.h"
#include "SoundCapture.h"
#include "WaitFor.h"
#include "cdrom/VirtualDiscFiles.h"

namespace {

// The disc image's samples of sectors [first, first + count): what playing them sends the device.
std::vector<int16_t> DiscSamples(const char* disc, long first, int count)
{
    const std::vector<BYTE> bytes = ImageSectors(disc, first, count);
    std::vector<int16_t> samples(bytes.size() / 2);
    if (!samples.empty())
        memcpy(samples.data(), bytes.data(), bytes.size());
    return samples;
}

// Threads of this process: Wine's own, the tests', and those the player leaves running.
int ThreadCount()
{
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0);
    THREADENTRY32 entry = {};
    entry.dwSize = sizeof(entry);
    int n = 0;
    for (BOOL more = Thread32First(snapshot, &entry); more; more = Thread32Next(snapshot, &entry))
        if (entry.th32OwnerProcessID == GetCurrentProcessId())
            ++n;
    CloseHandle(snapshot);
    return n;
}

class PlayCommandTest : public MainDialogTest
{
protected:
    void SetUp() override
    {
        MainDialogTest::SetUp();
        RemoveSoundCapture();
    }

    void OpenOn(const DriveConfig& drive)
    {
        io->AddDrive('D', DRIVE_CDROM, drive);
        Open();
        ASSERT_GT(dialog.Tracks.RowCount(), 0);
    }

    // Selects the row and presses Play, as a user would.
    void Play(int row)
    {
        dialog.SelectOneRow(IDC_TRACKS, row);
        Pump();
        SendMessageA(dialog.hWnd, WM_COMMAND, CM_PLAY, 0);
    }

    // Until Stop is greyed again: the track played to its end.
    bool WaitForTheEnd(DWORD timeoutMs = 120000)
    {
        return WaitFor(
            [&] {
                Pump();
                return !ToolEnabled(CM_STOP);
            },
            timeoutMs);
    }

    // Until the device has played some of the track.
    bool WaitForSound()
    {
        return WaitFor(
            [&] {
                Pump();
                return SoundCaptureSamples().size() > 44100u;
            },
            60000);
    }

    // What the device played is the start of the track and ends before the
    // track does; after it, silence at most.
    void ExpectStartOf(const std::vector<int16_t>& track) const
    {
        const std::vector<int16_t> captured = SoundCaptureSamples();
        size_t played = captured.size();
        while (played > 0 && captured[played - 1] == 0)
            --played;
        EXPECT_GT(played, 0u);
        EXPECT_LT(played, track.size());
        EXPECT_TRUE(std::equal(captured.begin(), captured.begin() + std::min(played, track.size()), track.begin()));
    }

    bool StopEnabled() const { return ToolEnabled(CM_STOP) && MenuEnabled(CM_STOP); }
};

} // namespace

TEST_F(PlayCommandTest, PlayCapturesTheSelectedTrackWhileStopIsEnabled)
{
    // three-tracks: 40, 35 and 60 sectors; the middle one.
    OpenOn(Disc("three-tracks"));
    EXPECT_FALSE(StopEnabled());
    Play(1);
    EXPECT_TRUE(dialog.SoundPlayer.IsPlaying());
    EXPECT_TRUE(StopEnabled());
    ASSERT_TRUE(WaitForTheEnd());
    EXPECT_FALSE(StopEnabled());
    EXPECT_FALSE(dialog.SoundPlayer.IsPlaying());
    EXPECT_TRUE(CaptureIs(DiscSamples("three-tracks", dialog.CDDBInfo.Tracks[1].nStartSector, 35)));
}

TEST_F(PlayCommandTest, AnotherRowWhileOnePlaysSwitchesTracks)
{
    // long-tracks: 5000, 750 and 40 sectors. The second play is a double-click.
    OpenOn(Disc("long-tracks"));
    Play(0);
    ASSERT_TRUE(WaitForSound());
    dialog.SelectOneRow(IDC_TRACKS, 2);
    NMITEMACTIVATE click = {};
    click.hdr.hwndFrom = Control(IDC_TRACKS);
    click.hdr.idFrom = IDC_TRACKS;
    click.hdr.code = NM_DBLCLK;
    click.iItem = 2;
    SendMessageA(dialog.hWnd, WM_NOTIFY, IDC_TRACKS, reinterpret_cast<LPARAM>(&click));
    EXPECT_TRUE(StopEnabled());
    ASSERT_TRUE(WaitForTheEnd());
    EXPECT_TRUE(CaptureIs(DiscSamples("long-tracks", dialog.CDDBInfo.Tracks[2].nStartSector, 40)));
}

TEST_F(PlayCommandTest, ASlowDrivePlaysWithoutGaps)
{
    // Each command of the drive takes 40 ms: the player waits for the first
    // frames with nothing queued, then the reading keeps ahead of the device.
    // (The capture device takes samples about four times as fast as they
    // play; a drive slower than that leaves gaps the device fills with silence.)
    DriveConfig slow = Disc("long-tracks");
    slow.delayMs = 40;
    OpenOn(slow);
    Play(1);
    ASSERT_TRUE(WaitForTheEnd());
    EXPECT_TRUE(CaptureIs(DiscSamples("long-tracks", dialog.CDDBInfo.Tracks[1].nStartSector, 750)));
}

TEST_F(PlayCommandTest, WhatEndsPlaybackLeavesNoThreadBehind)
{
    // Stop, a tray that opens, another drive, and the window closing each end
    // the track half-way: the reading thread, the feeding thread and the
    // device go with it.
    const std::vector<int16_t> track = DiscSamples("long-tracks", 0, 5000);
    const struct
    {
        const char* name;
        std::function<void()> end;
    } cases[] = {
        {"Stop", [this] { SendMessageA(dialog.hWnd, WM_COMMAND, CM_STOP, 0); }},
        {"Eject", [this] { SendMessageA(dialog.hWnd, WM_COMMAND, CM_EJECT, 0); }},
        {"another drive", [this] { ChooseDrive(1); }},
        {"closing the window", [this] { SendMessageA(dialog.hWnd, WM_CLOSE, 0, 0); }},
    };
    io->AddDrive('E', DRIVE_CDROM, Disc("three-tracks"));
    OpenOn(Disc("long-tracks"));
    // Wine starts threads of its own with the first sound it plays.
    Play(2);
    ASSERT_TRUE(WaitForTheEnd());

    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.name);
        // The long track of the first drive, its tray closed.
        SendMessageA(dialog.hWnd, WM_COMMAND, CM_LOAD, 0);
        ChooseDrive(0);
        const int nThreads = ThreadCount();
        RemoveSoundCapture();
        Play(0);
        ASSERT_TRUE(WaitForSound());
        EXPECT_GT(ThreadCount(), nThreads);
        c.end();
        Pump();
        EXPECT_FALSE(dialog.SoundPlayer.IsPlaying());
        // A thread that has ended may take a moment to leave the list.
        EXPECT_TRUE(WaitFor([&] { return ThreadCount() == nThreads; })) << ThreadCount() << " threads, not " << nThreads;
        EXPECT_EQ(0, io->PendingCommands());
        ExpectStartOf(track);
        if (IsWindow(dialog.hWnd))
        {
            EXPECT_FALSE(StopEnabled());
        }
    }
}
