#include "app/ComboHistory.h"

#include <cstring>

#include "files/TextBuffer.h"
#include "settings/SettingsStore.h"

namespace {

const int RECENT_LIST_MAX = 9;

void FormatItemName(char (&itemName)[16], int i)
{
    FormatText(itemName, sizeof(itemName), "Item %d", i);
}

} // namespace

void LoadComboHistory(HWND comboBox, const char* listName)
{
    SendMessageA(comboBox, CB_RESETCONTENT, 0, 0);
    // The list never holds more than nine; a larger count can only be damage.
    int nItems = ReadUserInt(listName, "Count", 0);
    if (nItems > RECENT_LIST_MAX)
        nItems = RECENT_LIST_MAX;
    for (int i = 1; i <= nItems; ++i)
    {
        char itemName[16];
        char item[TEXT_BUFFER_SIZE];
        FormatItemName(itemName, i);
        ReadUserString(listName, "", itemName, item);
        SendMessageA(comboBox, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(item));
    }
    SendMessageA(comboBox, CB_SETCURSEL, 0, 0);
}

void SaveComboHistory(HWND comboBox, const char* listName)
{
    char text[TEXT_BUFFER_SIZE];
    GetWindowTextA(comboBox, text, sizeof(text));
    if (text[0] == '\0')
        return;
    int nItems = ReadUserInt(listName, "Count", 0);
    // Each step moves the carried entry one place down, until the text's former
    // copy has been overwritten, the list has grown by one, or the ninth item fell off.
    char carry[TEXT_BUFFER_SIZE];
    CopyText(carry, text);
    for (int i = 0;; ++i)
    {
        char itemName[16];
        char old[TEXT_BUFFER_SIZE];
        FormatItemName(itemName, i + 1);
        ReadUserString(listName, "", itemName, old);
        WriteUserString(listName, itemName, carry);
        if (strcmp(carry, old) == 0 || strcmp(text, old) == 0)
            return;
        if (i >= nItems)
        {
            WriteUserInt(listName, "Count", nItems + 1);
            return;
        }
        if (i == RECENT_LIST_MAX - 1)
            return;
        CopyText(carry, old);
    }
}
