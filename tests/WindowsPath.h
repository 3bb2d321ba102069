// Unix paths as a Windows test program under Wine sees them.
#pragma once

#include <string>

// "/a/b" as Windows sees it: "Z:\a\b".
inline std::string WindowsPath(const std::string& unixPath)
{
    std::string path = "Z:" + unixPath;
    for (char& c : path)
        if (c == '/')
            c = '\\';
    return path;
}
