// Pages of the maker's web site, opened in the user's browser.
#pragma once

#include "files/TextBuffer.h"

// The site's host; every page address is built on it.
constexpr const char* WEB_SITE_HOST = "www.talmarin.com";

// "http://<host>/<page>.html".
void MakeWebPageAddress(const char* page, char (&address)[TEXT_BUFFER_SIZE]);
// Asks the shell to open the page; the result is not checked.
void OpenWebPage(const char* page);
