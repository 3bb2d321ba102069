#include <gtest/gtest.h>

#include "ui/KeyTable.h"

namespace {

const uint16_t VK_F2_CODE = 0x71;

TEST(KeyTable, KeyValuesCarryTheModifiersExactly)
{
    const LKeyCommand table[] = {{KEY_CTRL | 'R', 1001}, {VK_F2_CODE, 1006}, {0, 0}};
    EXPECT_EQ(0x30052u, MakeKeyValue('R', true, true, false));
    EXPECT_EQ(0, FindKeyCommand(table, 3, MakeKeyValue('R', true, true, false))) << "Ctrl+Alt+R";
    EXPECT_EQ(0, FindKeyCommand(table, 3, MakeKeyValue('R', false, true, true))) << "Ctrl+Shift+R";
    EXPECT_EQ(1001, FindKeyCommand(table, 3, MakeKeyValue('R', false, true, false)));
    EXPECT_EQ(1006, FindKeyCommand(table, 3, VK_F2_CODE));
    EXPECT_EQ(0, FindKeyCommand(table, 3, 0)) << "the end marker is no key";
}

} // namespace
