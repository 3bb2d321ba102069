#include <gtest/gtest.h>

#include <string>

#include "files/LFile.h"
#include "files/TextBuffer.h"

namespace {

const std::string kLong259(259, 'a');

// Runs a path operation on a real 260-byte buffer with guard bytes on both
// sides, so that any write outside the buffer shows up.
struct GuardedBuffer
{
    char before[16];
    char text[TEXT_BUFFER_SIZE];
    char after[16];

    explicit GuardedBuffer(const std::string& initial = "")
    {
        memset(this, 0x5A, sizeof(*this));
        CopyText(text, initial.c_str());
    }
    bool GuardsIntact() const
    {
        for (size_t i = 0; i < sizeof(before); ++i)
            if (before[i] != 0x5A || after[i] != 0x5A)
                return false;
        return true;
    }
};

struct SplitCase
{
    const char* path;
    const char* folder;
    const char* file;
    const char* fileNoExtension;
};

const SplitCase kSplitCases[] = {
    {"song.wav", "", "song.wav", "song"},
    {"C:\\Music\\song.wav", "C:\\Music", "song.wav", "song"},
    {"C:\\Music\\", "C:\\Music", "", ""},
    {"C:/Music/Rock\\song.mp3", "C:/Music/Rock", "song.mp3", "song"},
    {"C:\\song.wav", "C:", "song.wav", "song"},
    {"C:\\Music\\.hidden", "C:\\Music", ".hidden", ".hidden"},
    {"C:\\Music\\a.b.wav", "C:\\Music", "a.b.wav", "a.b"},
    {"C:\\Music.d\\noext", "C:\\Music.d", "noext", "noext"},
    {"", "", "", ""},
};

TEST(LFilePaths, SplitsPathsIntoFolderAndFile)
{
    for (const SplitCase& c : kSplitCases)
    {
        SCOPED_TRACE(c.path);
        GuardedBuffer folder, file, noExtension;
        LFile::_GetFolderFromPath(folder.text, c.path);
        LFile::_GetFileFromPath(file.text, c.path);
        LFile::GetFileNameNoExtension(noExtension.text, c.path);
        EXPECT_STREQ(c.folder, folder.text);
        EXPECT_STREQ(c.file, file.text);
        EXPECT_STREQ(c.fileNoExtension, noExtension.text);
    }
}

TEST(LFilePaths, SplittingOverlongPathsStaysInTheBuffer)
{
    // Separators beyond the first 260 characters are not seen.
    const std::string path = "C:\\" + std::string(300, 'x') + "\\name.wav";
    GuardedBuffer folder, file;
    LFile::_GetFolderFromPath(folder.text, path.c_str());
    LFile::_GetFileFromPath(file.text, path.c_str());
    EXPECT_STREQ("C:", folder.text);
    EXPECT_EQ(std::string(259, 'x'), file.text);
    EXPECT_TRUE(folder.GuardsIntact());
    EXPECT_TRUE(file.GuardsIntact());
}

struct CatCase
{
    std::string folder;
    const char* name;
    const char* extension;  // null: FilePathCat
    std::string expected;
};

TEST(LFilePaths, JoinsFolderNameAndExtensionWithinTheLimit)
{
    const CatCase cases[] = {
        {"", "song", nullptr, "song"},
        {"C:\\", "song", nullptr, "C:\\song"},
        {"C:\\Music", "song", nullptr, "C:\\Music\\song"},
        {"C:/Music/", "song", nullptr, "C:/Music/song"},
        {"C:\\Music", "song", ".wav", "C:\\Music\\song.wav"},
        {"", "song", ".wav", "song.wav"},
        {kLong259, "song", nullptr, kLong259},
        {kLong259, "song", ".wav", kLong259},
        {std::string(258, 'a'), "song", nullptr, std::string(258, 'a') + "\\"},
        {std::string(258, 'a'), "song", ".wav", std::string(258, 'a') + "\\"},
        {std::string(250, 'a'), "song", ".wav", std::string(250, 'a') + "\\song.wav"},
        {std::string(250, 'a'), "longname", ".wav", std::string(250, 'a') + "\\longname"},
        {std::string(252, 'a'), "song", ".wav", std::string(252, 'a') + "\\song.w"},
    };
    for (const CatCase& c : cases)
    {
        SCOPED_TRACE(c.folder.size());
        SCOPED_TRACE(c.folder.substr(0, 12));
        GuardedBuffer path(c.folder);
        size_t length = c.extension ? LFile::FilePathCatExt(path.text, c.name, c.extension)
                                    : LFile::FilePathCat(path.text, c.name);
        EXPECT_EQ(c.expected, path.text);
        EXPECT_EQ(c.expected.size(), length);
        EXPECT_TRUE(path.GuardsIntact());
    }
}

TEST(LFilePaths, MakeValidFileNameDropsForbiddenCharacters)
{
    struct Case
    {
        const char* text;
        const char* expected;
        bool kept;
    } cases[] = {
        {"AC/DC: Live?", "ACDC Live", true},
        {"Track 01", "Track 01", true},
        {"a\"b*c.d/e:f<g>h?i\\j|k", "abcdefghijk", true},
        {"Tab\there\r\nend", "Tabhereend", true},
        {"...", "", false},
        {"", "", false},
        {"Caf\xe9 del Mar \xff\x80", "Caf del Mar ", true},
        {"Is it 100% #1 (live) & more!", "Is it 100% #1 (live) & more!", true},
        // Device names, in any case and whatever followed them, are defused.
        {"nul", "nul_", true},
        {"CON", "CON_", true},
        {"Aux.txt", "Auxtxt", true},
        {"prn.", "prn_", true},
        {"com1", "com1_", true},
        {"LPT9  ", "LPT9_", true},
        {"conout$", "conout$_", true},
        {"com10", "com10", true},
        {"console", "console", true},
        {"nul live", "nul live", true},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.text);
        GuardedBuffer name;
        EXPECT_EQ(c.kept, LFile::MakeValidFileName(c.text, name.text));
        EXPECT_STREQ(c.expected, name.text);
    }
}

TEST(LFilePaths, MakeValidFileNameRemovesEveryHighByteAndKeepsAscii)
{
    std::string text;
    for (int c = 1; c < 256; ++c)
        text += static_cast<char>(c);
    GuardedBuffer name;
    EXPECT_TRUE(LFile::MakeValidFileName(text.c_str(), name.text));
    EXPECT_STREQ(" !#$%&'()+,-0123456789;=@ABCDEFGHIJKLMNOPQRSTUVWXYZ[]^_`abcdefghijklmnopqrstuvwxyz{}~\x7f",
                 name.text);
}

TEST(LFilePaths, MakeValidFileNameKeepsAtMost259Characters)
{
    const std::string text = std::string(100, '.') + std::string(300, 'n');
    GuardedBuffer name;
    EXPECT_TRUE(LFile::MakeValidFileName(text.c_str(), name.text));
    EXPECT_EQ(std::string(259, 'n'), name.text);
    EXPECT_TRUE(name.GuardsIntact());
}

} // namespace

namespace {

TEST(LFilePaths, IsInFolderOnlyBelowTheFolderAndNeverBackOut)
{
    const struct
    {
        const char* path;
        const char* folder;
        bool bInside;
    } cases[] = {
        {"C:\\Program Files\\Talmarin\\Corvane", "C:\\Program Files\\Talmarin", true},
        {"c:/program files/TALMARIN/Corvane/Output", "C:\\Program Files\\Talmarin", true},
        {"C:\\Program Files\\Talmarin", "C:\\Program Files\\Talmarin", false},      // the folder itself
        {"C:\\Program Files\\Talmarin\\", "C:\\Program Files\\Talmarin", false},    // still itself
        {"C:\\Program Files\\TalmarinX\\Corvane", "C:\\Program Files\\Talmarin", false},
        {"C:\\Program Files\\Talmarin\\..\\Windows", "C:\\Program Files\\Talmarin", false},
        {"C:\\Program Files\\Talmarin\\Corvane\\..", "C:\\Program Files\\Talmarin", false},
        {"C:\\Program Files\\Talmarin\\.\\Corvane", "C:\\Program Files\\Talmarin", false},
        {"C:\\Program Files\\Talmarin\\..Corvane", "C:\\Program Files\\Talmarin", true},  // a name, not "up"
        {"D:\\Music", "C:\\Program Files\\Talmarin", false},
        {"C:\\Windows", "", false},
        {"", "C:\\Program Files\\Talmarin", false},
    };
    for (const auto& c : cases)
        EXPECT_EQ(c.bInside, LFile::IsInFolder(c.path, c.folder)) << c.path << " in " << c.folder;
}

} // namespace
