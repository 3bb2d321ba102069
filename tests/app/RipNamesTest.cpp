// The artist and album fields made from a disc title.
#include <gtest/gtest.h>

#include <string>

#include "app/RipNames.h"

namespace {

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
