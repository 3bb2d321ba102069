// Without a sound device. Wine picks its audio driver once in each process,
// at the first sound, so these tests have a program of their own that never
// sees the driver: the prefix's driver is switched off before any sound.
#include <gtest/gtest.h>

#include <windows.h>

#include "MainDialogFixture.h"
#include "sound/BufferSource.h"
#include "ui/MessageBoxCapture.h"
#include "sound/LSoundPlayer.h"

namespace {

const char* const DRIVERS_KEY = "Software\\Wine\\Drivers";

void SetAudioDriver(const char* driver)
{
    HKEY hKey;
    if (RegCreateKeyExA(HKEY_CURRENT_USER, DRIVERS_KEY, 0, nullptr, 0, KEY_WRITE, nullptr, &hKey, nullptr) ==
        ERROR_SUCCESS)
    {
        RegSetValueExA(hKey, "Audio", 0, REG_SZ, reinterpret_cast<const BYTE*>(driver), lstrlenA(driver) + 1);
        RegCloseKey(hKey);
    }
}

// An empty driver list: Wine offers no output device at all.
class NoSoundDevice : public ::testing::Environment
{
public:
    void SetUp() override { SetAudioDriver(""); }
    void TearDown() override { SetAudioDriver("alsa"); }
};

const auto* const noSoundDevice = ::testing::AddGlobalTestEnvironment(new NoSoundDevice);

class NoSoundDeviceMainDialog : public MainDialogTest
{
};

} // namespace

TEST(NoSoundDevice, StartIsRefusedAndNothingIsTold)
{
    struct Receiver : LSoundPlayerNotify
    {
        void spntfPlay(int) override { ++nCalls; }
        void spntfStop(int) override { ++nCalls; }
        int nCalls = 0;
    } receiver;
    LSoundPlayer player;
    player.SetNotifyTarget(&receiver, 0);
    EXPECT_EQ(0u, waveOutGetNumDevs());
    const std::vector<int32_t> tone(44100 * 2, 1600);
    EXPECT_FALSE(player.Start(LSoundSourcePtr(new BufferSource(44100, 2, SAMPLE_PEAK_16BIT, tone))));
    EXPECT_FALSE(player.IsPlaying());
    EXPECT_EQ(0, receiver.nCalls);
}

TEST_F(NoSoundDeviceMainDialog, PlayShowsTheDeviceMessage)
{
    io->AddDrive('D', DRIVE_CDROM, Disc("three-tracks"));
    Open();
    MessageBoxCapture boxes;
    dialog.SelectOneRow(IDC_TRACKS, 0);
    SendMessageA(dialog.hWnd, WM_COMMAND, CM_PLAY, 0);
    ASSERT_NO_FATAL_FAILURE(ExpectOneBox(boxes.boxes, "Corvane",
                                         "Cannot open the sound device for playback. Check you have selected the "
                                         "correct device in the pull downlist in Settings.",
                                         IDI_ERROR));
    EXPECT_EQ(dialog.hWnd, boxes.boxes[0].hOwner);
    EXPECT_FALSE(dialog.SoundPlayer.IsPlaying());
    EXPECT_FALSE(ToolEnabled(CM_STOP));
    EXPECT_FALSE(MenuEnabled(CM_STOP));
}
