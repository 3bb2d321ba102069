// WinINet, loaded at run time and never linked to, so that the program starts
// on a system without it: its functions are resolved once, by name, into one
// table. A function the system lacks stays null, and an operation that needs
// it fails. The FTP client and the AccurateRip lookup use it.
#pragma once

#include <windows.h>
#include <wininet.h>  // types and constants only

struct WinInetFunctions
{
    HINTERNET(WINAPI* InternetOpenA)(LPCSTR, DWORD, LPCSTR, LPCSTR, DWORD);
    HINTERNET(WINAPI* InternetConnectA)(HINTERNET, LPCSTR, INTERNET_PORT, LPCSTR, LPCSTR, DWORD, DWORD, DWORD_PTR);
    BOOL(WINAPI* InternetCloseHandle)(HINTERNET);
    BOOL(WINAPI* InternetGetConnectedState)(LPDWORD, DWORD);
    BOOL(WINAPI* InternetAutodial)(DWORD, HWND);
    BOOL(WINAPI* InternetAutodialHangup)(DWORD);
    BOOL(WINAPI* InternetReadFile)(HINTERNET, LPVOID, DWORD, LPDWORD);
    BOOL(WINAPI* FtpSetCurrentDirectoryA)(HINTERNET, LPCSTR);
    HINTERNET(WINAPI* FtpFindFirstFileA)(HINTERNET, LPCSTR, LPWIN32_FIND_DATAA, DWORD, DWORD_PTR);
    HINTERNET(WINAPI* FtpOpenFileA)(HINTERNET, LPCSTR, DWORD, DWORD, DWORD_PTR);
    BOOL(WINAPI* InternetSetOptionA)(HINTERNET, DWORD, LPVOID, DWORD);
    HINTERNET(WINAPI* HttpOpenRequestA)(HINTERNET, LPCSTR, LPCSTR, LPCSTR, LPCSTR, LPCSTR*, DWORD, DWORD_PTR);
    BOOL(WINAPI* HttpSendRequestA)(HINTERNET, LPCSTR, DWORD, LPVOID, DWORD);
    BOOL(WINAPI* HttpQueryInfoA)(HINTERNET, DWORD, LPVOID, LPDWORD, LPDWORD);
};

// The table, with the library loaded on the first call; every entry is null
// when the library cannot be loaded. The library stays loaded for the
// program's life.
const WinInetFunctions& WinInet();

// Closes `handle` when it is not null and the system has the function.
void CloseInternetHandle(HINTERNET handle);
