#include "components/WinInet.h"

namespace {

template <typename Function>
void Resolve(HMODULE library, const char* name, Function& function)
{
    // Through the generic function type, which any function pointer converts to.
    function = reinterpret_cast<Function>(reinterpret_cast<void (*)()>(GetProcAddress(library, name)));
}

WinInetFunctions Load()
{
    WinInetFunctions f = {};
    HMODULE library = LoadLibraryA("WinINet.DLL");
    if (!library)
        return f;
    Resolve(library, "InternetOpenA", f.InternetOpenA);
    Resolve(library, "InternetConnectA", f.InternetConnectA);
    Resolve(library, "InternetCloseHandle", f.InternetCloseHandle);
    Resolve(library, "InternetGetConnectedState", f.InternetGetConnectedState);
    Resolve(library, "InternetAutodial", f.InternetAutodial);
    Resolve(library, "InternetAutodialHangup", f.InternetAutodialHangup);
    Resolve(library, "InternetReadFile", f.InternetReadFile);
    Resolve(library, "FtpSetCurrentDirectoryA", f.FtpSetCurrentDirectoryA);
    Resolve(library, "FtpFindFirstFileA", f.FtpFindFirstFileA);
    Resolve(library, "FtpOpenFileA", f.FtpOpenFileA);
    Resolve(library, "InternetSetOptionA", f.InternetSetOptionA);
    Resolve(library, "HttpOpenRequestA", f.HttpOpenRequestA);
    Resolve(library, "HttpSendRequestA", f.HttpSendRequestA);
    Resolve(library, "HttpQueryInfoA", f.HttpQueryInfoA);
    return f;
}

} // namespace

const WinInetFunctions& WinInet()
{
    static const WinInetFunctions functions = Load();
    return functions;
}

void CloseInternetHandle(HINTERNET handle)
{
    if (handle && WinInet().InternetCloseHandle)
        WinInet().InternetCloseHandle(handle);
}
