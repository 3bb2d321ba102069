#include <gtest/gtest.h>

#include <windows.h>

#include <string>
#include <vector>

#include "app/ComboHistory.h"
#include "files/TextBuffer.h"
#include "settings/SettingsStore.h"
#include "settings/SettingsStoreFixture.h"

namespace {

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

} // namespace
