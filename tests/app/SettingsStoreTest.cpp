#include <gtest/gtest.h>

#include <windows.h>

#include <string>
#include <vector>

#include "app/SettingsStore.h"
#include "files/TextBuffer.h"

namespace {

const char kKeyRoot[] = "Software\\Talmarin\\Corvane\\";

// Each test works in a sub-key of its own under both roots and removes it
// afterwards, so no test sees another's values.
class SettingsStoreTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
        subKey = std::string("Test.") + info->name();
        DeleteSubKeys();
    }
    void TearDown() override { DeleteSubKeys(); }

    void DeleteSubKeys()
    {
        const std::string path = kKeyRoot + subKey;
        RegDeleteKeyA(HKEY_LOCAL_MACHINE, path.c_str());
        RegDeleteKeyA(HKEY_CURRENT_USER, path.c_str());
    }

    // Stores raw bytes of any type, as another program might.
    void WriteRaw(HKEY root, const char* value, DWORD type, const void* data, DWORD size)
    {
        HKEY hKey;
        const std::string path = kKeyRoot + subKey;
        ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExA(root, path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                                                 &hKey, nullptr));
        ASSERT_EQ(ERROR_SUCCESS, RegSetValueExA(hKey, value, 0, type, static_cast<const BYTE*>(data), size));
        RegCloseKey(hKey);
    }

    std::string ReadString(const char* value, const char* defaultText = "<default>")
    {
        char out[TEXT_BUFFER_SIZE];
        ReadSettingString(subKey.c_str(), defaultText, value, out);
        return out;
    }

    std::string subKey;
};

TEST_F(SettingsStoreTest, StringsRoundTripAndMissingOnesGiveTheDefault)
{
    EXPECT_EQ("<default>", ReadString("OutputFormat"));  // no key yet
    EXPECT_EQ(ERROR_SUCCESS, WriteSettingString(subKey.c_str(), "OutputFormat", "MP3"));
    EXPECT_EQ("MP3", ReadString("OutputFormat"));
    EXPECT_EQ("<default>", ReadString("Missing"));  // key, but no such value
    EXPECT_EQ(ERROR_SUCCESS, WriteSettingString(subKey.c_str(), "Empty", ""));
    EXPECT_EQ("", ReadString("Empty"));

    // The two roots are separate stores.
    char out[TEXT_BUFFER_SIZE];
    ReadUserString(subKey.c_str(), "<user default>", "OutputFormat", out);
    EXPECT_STREQ("<user default>", out);
    EXPECT_EQ(ERROR_SUCCESS, WriteUserString(subKey.c_str(), "OutputFormat", "WAV"));
    ReadUserString(subKey.c_str(), "", "OutputFormat", out);
    EXPECT_STREQ("WAV", out);
    EXPECT_EQ("MP3", ReadString("OutputFormat"));
}

TEST_F(SettingsStoreTest, ValuesThatDoNotFitOrAreNotTextGiveTheDefault)
{
    const std::string longest(259, 'x');
    WriteSettingString(subKey.c_str(), "Longest", longest.c_str());
    EXPECT_EQ(longest, ReadString("Longest"));

    WriteSettingString(subKey.c_str(), "TooLong", std::string(260, 'x').c_str());
    EXPECT_EQ("<default>", ReadString("TooLong"));

    // Written without the terminating zero: fits only when there is room for one.
    const std::string unterminated(259, 'u');
    WriteRaw(HKEY_LOCAL_MACHINE, "Unterminated", REG_SZ, unterminated.data(), 259);
    EXPECT_EQ(unterminated, ReadString("Unterminated"));
    const std::string unterminatedFull(260, 'u');
    WriteRaw(HKEY_LOCAL_MACHINE, "UnterminatedFull", REG_SZ, unterminatedFull.data(), 260);
    EXPECT_EQ("<default>", ReadString("UnterminatedFull"));

    const DWORD number = 192;
    WriteRaw(HKEY_LOCAL_MACHINE, "Number", REG_DWORD, &number, sizeof(number));
    EXPECT_EQ("<default>", ReadString("Number"));
    EXPECT_EQ(128, ReadSettingInt(subKey.c_str(), "Number", 128));
}

TEST_F(SettingsStoreTest, IntegersAndFlagsReadThroughGarbage)
{
    const char* key = subKey.c_str();
    EXPECT_EQ(128, ReadSettingInt(key, "CBRBitRate", 128));
    WriteSettingString(key, "CBRBitRate", " 192kbps");
    EXPECT_EQ(192, ReadSettingInt(key, "CBRBitRate", 128));
    WriteSettingString(key, "CBRBitRate", "fast");
    EXPECT_EQ(0, ReadSettingInt(key, "CBRBitRate", 128));
    WriteSettingInt(key, "CBRBitRate", -320);
    EXPECT_EQ("-320", ReadString("CBRBitRate"));
    EXPECT_EQ(-320, ReadSettingInt(key, "CBRBitRate", 128));

    const struct
    {
        const char* text;
        bool expected;
    } flags[] = {{"no", true}, {"false", true}, {"0", false}, {"00", false}, {"", true}};
    for (const auto& flag : flags)
    {
        SCOPED_TRACE(flag.text);
        WriteSettingString(key, "UseCDDB", flag.text);
        EXPECT_EQ(flag.expected, ReadSettingBool(key, "UseCDDB", true));
    }
    WriteSettingBool(key, "UseCDDB", false);
    EXPECT_EQ("0", ReadString("UseCDDB"));
    WriteSettingBool(key, "UseCDDB", true);
    EXPECT_EQ("1", ReadString("UseCDDB"));

    EXPECT_EQ(5, ReadUserInt(key, "Count", 5));
    WriteUserInt(key, "Count", 3);
    EXPECT_EQ(3, ReadUserInt(key, "Count", 5));
    EXPECT_EQ(7, ReadSettingInt(key, "Count", 7));
}

// A real combo box, as the main window's output-folder box.
class ComboHistoryTest : public SettingsStoreTest
{
protected:
    void SetUp() override
    {
        SettingsStoreTest::SetUp();
        combo = CreateWindowExA(0, "COMBOBOX", "", CBS_DROPDOWN | WS_POPUP, 0, 0, 300, 200, nullptr, nullptr,
                                GetModuleHandleA(nullptr), nullptr);
        ASSERT_NE(nullptr, combo);
    }
    void TearDown() override
    {
        DestroyWindow(combo);
        SettingsStoreTest::TearDown();
    }

    void StoreList(const std::vector<std::string>& items)
    {
        WriteUserInt(subKey.c_str(), "Count", static_cast<int>(items.size()));
        for (size_t i = 0; i < items.size(); ++i)
            WriteUserString(subKey.c_str(), ("Item " + std::to_string(i + 1)).c_str(), items[i].c_str());
    }

    std::vector<std::string> StoredList()
    {
        std::vector<std::string> items;
        int n = ReadUserInt(subKey.c_str(), "Count", 0);
        for (int i = 1; i <= n; ++i)
        {
            char item[TEXT_BUFFER_SIZE];
            ReadUserString(subKey.c_str(), "<missing>", ("Item " + std::to_string(i)).c_str(), item);
            items.push_back(item);
        }
        return items;
    }

    void Save(const char* text)
    {
        SetWindowTextA(combo, text);
        SaveComboHistory(combo, subKey.c_str());
    }

    std::string BoxText()
    {
        char text[TEXT_BUFFER_SIZE];
        GetWindowTextA(combo, text, sizeof(text));
        return text;
    }

    HWND combo = nullptr;
};

using List = std::vector<std::string>;

TEST_F(ComboHistoryTest, LoadFillsTheListMostRecentFirst)
{
    StoreList({"D:\\A", "D:\\Rips", "D:\\B"});
    LoadComboHistory(combo, subKey.c_str());
    ASSERT_EQ(3, SendMessageA(combo, CB_GETCOUNT, 0, 0));
    char item[TEXT_BUFFER_SIZE];
    SendMessageA(combo, CB_GETLBTEXT, 1, reinterpret_cast<LPARAM>(item));
    EXPECT_STREQ("D:\\Rips", item);
    EXPECT_EQ("D:\\A", BoxText());

    // A missing item gives an empty line; loading again replaces the list.
    WriteUserInt(subKey.c_str(), "Count", 4);
    LoadComboHistory(combo, subKey.c_str());
    EXPECT_EQ(4, SendMessageA(combo, CB_GETCOUNT, 0, 0));
    SendMessageA(combo, CB_GETLBTEXT, 3, reinterpret_cast<LPARAM>(item));
    EXPECT_STREQ("", item);
}

TEST_F(ComboHistoryTest, LoadOfAnEmptyOrDamagedListStaysBounded)
{
    LoadComboHistory(combo, subKey.c_str());
    EXPECT_EQ(0, SendMessageA(combo, CB_GETCOUNT, 0, 0));
    WriteUserString(subKey.c_str(), "Count", "1000000");
    LoadComboHistory(combo, subKey.c_str());
    EXPECT_EQ(9, SendMessageA(combo, CB_GETCOUNT, 0, 0));
}

TEST_F(ComboHistoryTest, SavingMovesTheFolderToTheFront)
{
    struct Case
    {
        const char* name;
        List before;
        const char* saved;
        List after;
    } cases[] = {
        {"first save", {}, "D:\\Rips", {"D:\\Rips"}},
        {"new folder grows the list", {"D:\\A", "D:\\B"}, "D:\\C", {"D:\\C", "D:\\A", "D:\\B"}},
        {"reorder without growth", {"D:\\A", "D:\\Rips", "D:\\B"}, "D:\\Rips", {"D:\\Rips", "D:\\A", "D:\\B"}},
        {"last item to the front", {"D:\\A", "D:\\B", "D:\\C"}, "D:\\C", {"D:\\C", "D:\\A", "D:\\B"}},
        {"item 1 again", {"D:\\A", "D:\\B"}, "D:\\A", {"D:\\A", "D:\\B"}},
        {"case counts", {"C:\\Music"}, "c:\\music", {"c:\\music", "C:\\Music"}},
        {"tenth folder drops the oldest",
         {"1", "2", "3", "4", "5", "6", "7", "8", "9"}, "10",
         {"10", "1", "2", "3", "4", "5", "6", "7", "8"}},
        {"ninth item to the front of a full list",
         {"1", "2", "3", "4", "5", "6", "7", "8", "9"}, "9",
         {"9", "1", "2", "3", "4", "5", "6", "7", "8"}},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.name);
        DeleteSubKeys();
        StoreList(c.before);
        Save(c.saved);
        EXPECT_EQ(c.after, StoredList());
    }
}

TEST_F(ComboHistoryTest, SavingItemOneRewritesNothingElse)
{
    StoreList({"D:\\A", "D:\\B", "D:\\C"});
    // Items 2 and 3 are removed behind the list's back: a save of item 1 must not
    // touch them, so they stay missing.
    HKEY hKey;
    ASSERT_EQ(ERROR_SUCCESS, RegOpenKeyExA(HKEY_CURRENT_USER, (kKeyRoot + subKey).c_str(), 0, KEY_ALL_ACCESS, &hKey));
    RegDeleteValueA(hKey, "Item 2");
    RegDeleteValueA(hKey, "Item 3");
    RegCloseKey(hKey);
    Save("D:\\A");
    EXPECT_EQ(List({"D:\\A", "<missing>", "<missing>"}), StoredList());
}

TEST_F(ComboHistoryTest, AnEmptyBoxSavesNothing)
{
    StoreList({"D:\\A"});
    Save("");
    EXPECT_EQ(List({"D:\\A"}), StoredList());
}

TEST_F(ComboHistoryTest, SaveThenLoadShowsTheNewestFolder)
{
    Save("E:\\Old");
    Save("E:\\New");
    LoadComboHistory(combo, subKey.c_str());
    EXPECT_EQ("E:\\New", BoxText());
    EXPECT_EQ(2, SendMessageA(combo, CB_GETCOUNT, 0, 0));
}

// "Folders" is shared by the whole program: the test takes out what was
// recorded there and puts it back afterwards.
class DataFolderTest : public ::testing::Test
{
protected:
    static constexpr const char* kValues[] = {"DataFiles", "Output"};
    static constexpr const char* kNotRecorded = "<not recorded>";

    void SetUp() override
    {
        for (int i = 0; i < 2; ++i)
        {
            ReadSettingString("Folders", kNotRecorded, kValues[i], saved[i]);
            RemoveFolderValue(kValues[i]);
        }
    }
    void TearDown() override
    {
        for (int i = 0; i < 2; ++i)
        {
            RemoveFolderValue(kValues[i]);
            if (strcmp(saved[i], kNotRecorded) != 0)
                WriteSettingString("Folders", kValues[i], saved[i]);
        }
    }
    static void RemoveFolderValue(const char* value)
    {
        HKEY hKey;
        if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, "Software\\Talmarin\\Corvane\\Folders", 0, KEY_ALL_ACCESS, &hKey)
            == ERROR_SUCCESS)
        {
            RegDeleteValueA(hKey, value);
            RegCloseKey(hKey);
        }
    }

    char saved[2][TEXT_BUFFER_SIZE];
};

TEST_F(DataFolderTest, RecordedFoldersWinOverTheInstallFolder)
{
    char programFiles[TEXT_BUFFER_SIZE];
    ReadRegistryString(HKEY_LOCAL_MACHINE, "Software\\Microsoft\\Windows\\CurrentVersion", "ProgramFilesDir",
                       "C:\\Program Files", programFiles);
    const std::string installFolder = std::string(programFiles) + "\\Talmarin\\Corvane";

    char folder[TEXT_BUFFER_SIZE];
    GetDataFolder(nullptr, folder);
    EXPECT_EQ(installFolder, folder);
    GetDataFolder("Output", folder);
    EXPECT_EQ(installFolder + "\\Output", folder);
    EXPECT_NE(INVALID_FILE_ATTRIBUTES, GetFileAttributesA(installFolder.c_str()));

    WriteSettingString("Folders", "DataFiles", "D:\\Data");
    WriteSettingString("Folders", "Output", "E:\\Rips");
    GetDataFolder(nullptr, folder);
    EXPECT_STREQ("D:\\Data", folder);
    GetDataFolder("Output", folder);
    EXPECT_STREQ("E:\\Rips", folder);
}

} // namespace
