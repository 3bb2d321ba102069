// Key values and the key tables that map them to commands. A key value is the
// virtual-key code in bits 0-15 plus a bit for each modifier held when the key
// went down; a table entry matches only the exact value, so Ctrl+Shift+R is
// not Ctrl+R.
#pragma once

#include <cstdint>

constexpr uint32_t KEY_ALT = 0x10000;
constexpr uint32_t KEY_CTRL = 0x20000;
constexpr uint32_t KEY_SHIFT = 0x40000;

struct LKeyCommand
{
    uint32_t nKey;
    uint16_t nCommand;
};

inline uint32_t MakeKeyValue(uint16_t virtualKey, bool bAlt, bool bCtrl, bool bShift)
{
    return virtualKey | (bAlt ? KEY_ALT : 0) | (bCtrl ? KEY_CTRL : 0) | (bShift ? KEY_SHIFT : 0);
}

// The command of the first of `count` entries whose key equals `key`; 0 for none.
uint16_t FindKeyCommand(const LKeyCommand* table, int count, uint32_t key);
