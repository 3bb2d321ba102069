// Key values and key tables: a value keeps its virtual key and a bit for each
// modifier, and a table answers with the first entry of exactly that value.
#include <vector>

#include "FuzzCheck.h"
#include "ui/KeyTable.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size)
{
    FuzzInput input(data, size);
    const uint16_t virtualKey = input.U16();
    const uint8_t modifiers = input.Byte();
    const bool bAlt = modifiers & 1, bCtrl = modifiers & 2, bShift = modifiers & 4;
    const uint32_t key = MakeKeyValue(virtualKey, bAlt, bCtrl, bShift);
    FUZZ_CHECK((key & 0xFFFF) == virtualKey);
    FUZZ_CHECK(((key & KEY_ALT) != 0) == bAlt && ((key & KEY_CTRL) != 0) == bCtrl
               && ((key & KEY_SHIFT) != 0) == bShift);
    FUZZ_CHECK((key & ~(0xFFFFu | KEY_ALT | KEY_CTRL | KEY_SHIFT)) == 0);

    // Entries are made from the same pieces, so that some match.
    std::vector<LKeyCommand> table;
    while (input.Left() >= 5)
    {
        const uint16_t entryKey = input.U16();
        const uint8_t entryModifiers = input.Byte();
        const uint16_t command = input.U16();
        table.push_back({MakeKeyValue(entryKey, entryModifiers & 1, entryModifiers & 2, entryModifiers & 4), command});
    }
    uint16_t expected = 0;
    for (const LKeyCommand& entry : table)
        if (entry.nKey == key)
        {
            expected = entry.nCommand;
            break;
        }
    FUZZ_CHECK(FindKeyCommand(table.data(), static_cast<int>(table.size()), key) == expected);
    FUZZ_CHECK(FindKeyCommand(table.data(), 0, key) == 0);
    return 0;
}
