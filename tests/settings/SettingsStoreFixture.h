// A fixture for tests of the settings store: a section of the test's own.
#pragma once

#include <gtest/gtest.h>

#include <windows.h>

#include <string>

#include "files/TextBuffer.h"
#include "settings/SettingsStore.h"

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

} // namespace
