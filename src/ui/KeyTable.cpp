#include "ui/KeyTable.h"

uint16_t FindKeyCommand(const LKeyCommand* table, int count, uint32_t key)
{
    for (int i = 0; i < count; ++i)
        if (table[i].nKey == key)
            return table[i].nCommand;
    return 0;
}
