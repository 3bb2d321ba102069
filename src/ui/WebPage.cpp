#include "ui/WebPage.h"

#include <windows.h>
#include <shellapi.h>

void MakeWebPageAddress(const char* page, char (&address)[TEXT_BUFFER_SIZE])
{
    FormatText(address, sizeof(address), "http://%s/%s.html", WEB_SITE_HOST, page);
}

void OpenWebPage(const char* page)
{
    char address[TEXT_BUFFER_SIZE];
    MakeWebPageAddress(page, address);
    ShellExecuteA(nullptr, nullptr, address, nullptr, nullptr, SW_SHOWNORMAL);
}
