#include <gtest/gtest.h>

#include "setup/InstallPayload.h"

namespace {

TEST(SetupFileName, SetupFileNamesAreFoundInTheTitleInAnyCase)
{
    const struct
    {
        const char* path;
        bool bSetup;
    } cases[] = {
        {"C:\\Downloads\\Corvane-Setup.exe", true},
        {"corvane-setup.exe", true},
        {"C:/Program Files/SETUP", true},
        {"D:\\a.setup.exe", true},          // only the last '.' starts the extension
        {"C:\\Corvane\\corvane.setup", false},  // the extension does not count
        {"C:\\Setup Files\\corvane.exe", false},  // nor does the folder
        {"C:\\Corvane\\corvane.exe", false},
        {"", false},
    };
    for (const auto& c : cases)
        EXPECT_EQ(c.bSetup, IsSetupFileName(c.path)) << c.path;
}

} // namespace
