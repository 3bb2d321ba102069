// File paths of a rip's tracks, and the artist and album fields made from a
// disc title.
#include <gtest/gtest.h>

#include <string>

#include "app/RipNames.h"

namespace {

TEST(MakeTrackPath, ShortensTheNameNeverTheNumberOrTheExtension)
{
    const std::string longName(300, 'n');
    const std::string longFolder = "C:\\" + std::string(247, 'f');  // 250 characters
    const struct
    {
        std::string folder;
        std::string name;
        int copy;
        bool bMade;
        std::string path;  // "" with bMade: only its length and end are checked
        std::string ending;
    } cases[] = {
        {"C:\\out", "Intro", 1, true, "C:\\out\\Intro.wav", ""},
        {"C:\\out\\", "Intro", 2, true, "C:\\out\\Intro (2).wav", ""},
        {"C:/out/", "Intro", 1, true, "C:/out/Intro.wav", ""},
        {"C:\\out", longName, 1, true, "", "nnn.wav"},
        {"C:\\out", longName, 12, true, "", "nnn (12).wav"},
        {longFolder, "Intro", 1, true, "", "\\Intr.wav"},
        {longFolder + "fff", "Intro", 1, true, "", "\\I.wav"},
        {longFolder + "ffff", "Intro", 1, false, "", ""},  // not one character of the name fits
        {"C:\\out", "", 1, false, "", ""},
        // Shortened to a device's name ("Con.wav" is the console), the name
        // gives way by one more character; a copy number keeps it a file.
        {longFolder + "f", "Con Te Partiro", 1, true, longFolder + "f\\Co.wav", ""},
        {longFolder, "nul  song", 1, true, longFolder + "\\nu.wav", ""},
        {longFolder.substr(0, 249), "COM1 and more", 1, true, longFolder.substr(0, 249) + "\\COM.wav", ""},
        {longFolder.substr(0, 247), "Con Te Partiro", 2, true, "", "\\Con (2).wav"},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.folder.substr(0, 20) + " " + c.name.substr(0, 20) + " " + std::to_string(c.copy));
        char path[TEXT_BUFFER_SIZE];
        ASSERT_EQ(c.bMade, MakeTrackPath(c.folder.c_str(), c.name.c_str(), ".wav", c.copy, path));
        if (!c.bMade)
            continue;
        if (!c.path.empty())
            EXPECT_EQ(c.path, path);
        else
        {
            EXPECT_EQ(TEXT_MAX_LENGTH, std::string(path).size());
            EXPECT_EQ(c.ending, std::string(path).substr(TEXT_MAX_LENGTH - c.ending.size()));
        }
    }
}

// The hidden track is number 00 in every scheme of names.
TEST(MakeHiddenTrackFileName, TheNumberGoesBeforeTheRowsName)
{
    const struct
    {
        LRipNameSettings settings;
        const char* expected;
    } cases[] = {
        {{false, true, false}, "00 - Hidden Track"},
        {{true, true, false}, "Artist - 00 - Hidden Track"},
        {{true, false, true}, "Album - Artist - 00 - Hidden Track"},
    };
    for (const auto& c : cases)
    {
        char name[TEXT_BUFFER_SIZE];
        MakeHiddenTrackFileName("Hidden Track", "Artist", "Album", c.settings, name);
        EXPECT_STREQ(c.expected, name);
    }
}

TEST(MakeTrackPath, ACopyTakesTheFirstNumberNotYetTakenWhateverTheCase)
{
    char taken[3][TEXT_BUFFER_SIZE] = {"C:\\out\\INTRO.wav", "C:\\out\\intro (2).WAV", "C:\\out\\Other.wav"};
    char path[TEXT_BUFFER_SIZE];
    ASSERT_TRUE(MakeUniqueTrackPath("C:\\out", "Intro", ".wav", taken, 3, path));
    EXPECT_STREQ("C:\\out\\Intro (3).wav", path);
    ASSERT_TRUE(MakeUniqueTrackPath("C:\\out", "Intro", ".wav", taken, 0, path));
    EXPECT_STREQ("C:\\out\\Intro.wav", path);
}

TEST(SplitDiscTitle, SplitsAtTheFirstSeparatorAndCleansBothParts)
{
    const std::string longArtist(300, 'a');
    const struct
    {
        std::string title;
        bool bSplit;
        std::string artist;
        std::string album;
    } cases[] = {
        {"Some Artist / Some Album", true, "Some Artist", "Some Album"},
        {"No Separator", false, "", ""},
        {"Artist/Album", false, "", ""},
        {"A / B / C", true, "A", "B  C"},
        {"AC/DC / Back: In Black?", true, "ACDC", "Back In Black"},
        {"..\\.. / ../Windows", true, "", "Windows"},  // nothing that climbs out of the folder
        {" / Album", true, "", "Album"},
        {"Artist / ", true, "Artist", ""},
        {longArtist + " / x", true, std::string(TEXT_MAX_LENGTH, 'a'), "x"},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.title);
        char artist[TEXT_BUFFER_SIZE] = "old";
        char album[TEXT_BUFFER_SIZE] = "old";
        EXPECT_EQ(c.bSplit, SplitDiscTitle(c.title.c_str(), artist, album));
        EXPECT_EQ(c.artist, artist);
        EXPECT_EQ(c.album, album);
    }
}

} // namespace

namespace {

// "OutputFormat" is compared as stored: only the exact names choose MP3 and FLAC.
TEST(RipFormat, TheSettingChoosesTheFormatAndItsExtension)
{
    const struct
    {
        const char* setting;
        RipFormat format;
        const char* extension;
    } cases[] = {
        {"WAV", RipFormat::Wav, ".wav"},   {"MP3", RipFormat::Mp3, ".mp3"}, {"FLAC", RipFormat::Flac, ".flac"},
        {"flac", RipFormat::Wav, ".wav"},  {"FLAC ", RipFormat::Wav, ".wav"}, {"", RipFormat::Wav, ".wav"},
    };
    for (const auto& c : cases)
    {
        EXPECT_EQ(c.format, RipFormatFromSetting(c.setting)) << c.setting;
        EXPECT_STREQ(c.extension, RipFormatExtension(RipFormatFromSetting(c.setting))) << c.setting;
    }
}

TEST(MakeTrackTempPath, TheExtensionBecomesTmpInTheSameFolder)
{
    const std::string longName(252, 'n');
    const struct
    {
        std::string path;
        std::string expected;
    } cases[] = {
        {"C:\\Rips\\Track 01.wav", "C:\\Rips\\Track 01.tmp"},
        {"C:\\Rips\\Live. Encore.mp3", "C:\\Rips\\Live. Encore.tmp"},
        {"C:\\Rips\\Track 01.flac", "C:\\Rips\\Track 01.tmp"},
        {"C:\\Rips.old\\Track 01", "C:\\Rips.old\\Track 01.tmp"},  // a point in the folder is no extension
        {"C:\\Rips\\.wav", "C:\\Rips\\.wav.tmp"},
        {"C:\\" + longName + ".wav", "C:\\" + longName + ".tmp"},  // the longest path a rip makes: 259
    };
    for (const auto& c : cases)
    {
        char temp[TEXT_BUFFER_SIZE];
        EXPECT_TRUE(MakeTrackTempPath(c.path.c_str(), 0, temp)) << c.path;
        EXPECT_EQ(c.expected, temp);
    }
    char temp[TEXT_BUFFER_SIZE];
    EXPECT_FALSE(MakeTrackTempPath(("C:\\" + std::string(256, 'n')).c_str(), 0, temp)) << "no room for an extension";

    // Other names when the first is a file of the user's.
    EXPECT_TRUE(MakeTrackTempPath("C:\\Rips\\Track 01.wav", 1, temp));
    EXPECT_STREQ(temp, "C:\\Rips\\Track 01.1.tmp");
    EXPECT_TRUE(MakeTrackTempPath("C:\\Rips\\Track 01.wav", TRACK_TEMP_ATTEMPTS - 1, temp));
    EXPECT_STREQ(temp, "C:\\Rips\\Track 01.99.tmp");
    EXPECT_FALSE(MakeTrackTempPath(("C:\\" + longName + ".wav").c_str(), 1, temp)) << "no room for the number";
}

} // namespace

TEST(MakeRipLogPath, ArtistAndAlbumNameTheLogElseAudioCd)
{
    const struct
    {
        const char* artist;
        const char* album;
        const char* path;
    } cases[] = {
        {"Artist", "Album", "C:\\Rips\\Artist - Album.log"},
        {"AC/DC", "Live: 1992", "C:\\Rips\\ACDC - Live 1992.log"},
        {"", "Album", "C:\\Rips\\Audio CD.log"},
        {"Artist", "", "C:\\Rips\\Audio CD.log"},
        {"...", "Album", "C:\\Rips\\Audio CD.log"},
    };
    for (const auto& c : cases)
    {
        char path[TEXT_BUFFER_SIZE];
        ASSERT_TRUE(MakeRipLogPath("C:\\Rips", c.artist, c.album, path));
        EXPECT_STREQ(c.path, path) << c.artist << " / " << c.album;
    }
}
