// The target of a shell link, read through the shell's link object, as the
// remote control lists an install and the install tests check it.
#pragma once

#include <windows.h>
#include <objbase.h>
#include <shlobj.h>

#include <string>

// Empty when the link cannot be loaded.
inline std::string ShortcutTarget(const std::string& linkPath)
{
    CoInitialize(nullptr);
    std::string target;
    IShellLinkA* link = nullptr;
    if (SUCCEEDED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkA,
                                   reinterpret_cast<void**>(&link))))
    {
        IPersistFile* file = nullptr;
        WCHAR widePath[MAX_PATH];
        MultiByteToWideChar(CP_ACP, 0, linkPath.c_str(), -1, widePath, MAX_PATH);
        if (SUCCEEDED(link->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&file))))
        {
            char path[MAX_PATH] = "";
            if (SUCCEEDED(file->Load(widePath, STGM_READ)) && SUCCEEDED(link->GetPath(path, MAX_PATH, nullptr, 0)))
                target = path;
            file->Release();
        }
        link->Release();
    }
    CoUninitialize();
    return target;
}
