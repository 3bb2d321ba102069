// Path texts and bounded text buffers: a path's folder and file parts, names
// without extensions, paths joined from a folder and a name, names cleaned of
// what a file name may not hold, the setup file's name, and the copying,
// appending and formatting helpers at every buffer size.
#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "FuzzCheck.h"
#include "NameChecks.h"
#include "files/LFile.h"
#include "setup/InstallPayload.h"

namespace {

bool IsPrefix(const char* prefix, const char* text) { return strncmp(prefix, text, strlen(prefix)) == 0; }

void CheckFolderAndFile(const char* path)
{
    char folder[TEXT_BUFFER_SIZE];
    LFile::_GetFolderFromPath(folder, path);
    const std::size_t folderLength = strnlen(folder, sizeof(folder));
    FUZZ_CHECK(folderLength < sizeof(folder) && IsPrefix(folder, path));
    // Up to the last separator within the buffer's reach.
    const std::size_t reach = std::min(strlen(path), TEXT_BUFFER_SIZE);
    if (folderLength > 0)
        FUZZ_CHECK(IsPathSeparator(path[folderLength]));
    for (std::size_t i = folderLength + 1; i < reach; ++i)
        FUZZ_CHECK(!IsPathSeparator(path[i]));

    char name[TEXT_BUFFER_SIZE];
    LFile::_GetFileFromPath(name, path);
    FUZZ_CHECK(strnlen(name, sizeof(name)) < sizeof(name));
    FUZZ_CHECK(!strpbrk(name, "\\/"));
    FUZZ_CHECK(strstr(path, name));

    char stem[TEXT_BUFFER_SIZE];
    LFile::GetFileNameNoExtension(stem, path);
    FUZZ_CHECK(IsPrefix(stem, name));
    const std::size_t stemLength = strlen(stem);
    FUZZ_CHECK(stemLength == strlen(name) || (name[stemLength] == '.' && !strchr(name + stemLength + 1, '.')));
    FUZZ_CHECK(stemLength > 0 || name[0] == '\0');

    // The setup file is known by its title, whatever the folders are called.
    std::string title = name;
    const std::size_t point = title.rfind('.');
    if (point != std::string::npos)
        title.resize(point);
    for (char& c : title)
        c = static_cast<char>(c >= 'a' && c <= 'z' ? c - 'a' + 'A' : c);
    FUZZ_CHECK(IsSetupFileName(path) == (title.find("SETUP") != std::string::npos));
}

void CheckJoin(const char* folder, const char* name, const char* extension)
{
    char path[TEXT_BUFFER_SIZE];
    CopyText(path, folder);
    const std::size_t folderLength = strlen(path);
    const std::size_t length = LFile::FilePathCat(path, name);
    FUZZ_CHECK(length == strlen(path) && length < sizeof(path) && IsPrefix(std::string(folder, folderLength).c_str(), path));
    std::string whole = std::string(folder, folderLength);
    if (folderLength > 0 && folderLength < TEXT_MAX_LENGTH && !IsPathSeparator(whole.back()))
        whole += '\\';
    if (folderLength < TEXT_MAX_LENGTH)
        whole += name;
    FUZZ_CHECK(whole.compare(0, TEXT_MAX_LENGTH, path) == 0);

    CopyText(path, folder);
    const std::size_t lengthWithExtension = LFile::FilePathCatExt(path, name, extension);
    FUZZ_CHECK(lengthWithExtension == strlen(path));
    if (folderLength < TEXT_MAX_LENGTH)
        whole += extension;
    FUZZ_CHECK(whole.compare(0, TEXT_MAX_LENGTH, path) == 0);
}

void CheckValidName(const char* text)
{
    char name[TEXT_BUFFER_SIZE];
    const bool bKept = LFile::MakeValidFileName(text, name);
    CheckCleanName(name);
    // The characters kept, in order, up to a full buffer; a device gets '_'.
    std::string kept;
    for (const unsigned char* p = reinterpret_cast<const unsigned char*>(text); *p && kept.size() < TEXT_MAX_LENGTH; ++p)
        if (*p >= 32 && *p < 128 && !strchr("\"*./:<>?\\|", *p))
            kept += static_cast<char>(*p);
    FUZZ_CHECK(bKept == !kept.empty());
    const std::size_t length = strlen(name);
    FUZZ_CHECK(kept == name || (NamesDevice(kept.c_str()) && name[length - 1] == '_'
                                && kept.compare(0, length - 1, name, length - 1) == 0));
}

void CheckTextHelpers(const char* text, std::size_t outSize, const char* tail)
{
    // Exactly `outSize` bytes, so that a sanitizer sees a write past them.
    std::vector<char> out(outSize + 1, 'x');
    char* buffer = out.data() + 1;
    const std::size_t textLength = strlen(text);
    const std::size_t copied = CopyText(buffer, outSize, text);
    if (outSize == 0)
    {
        FUZZ_CHECK(copied == 0);
        return;
    }
    FUZZ_CHECK(copied == std::min(textLength, outSize - 1) && buffer[copied] == '\0');
    FUZZ_CHECK(strncmp(buffer, text, copied) == 0);
    const std::size_t appended = AppendText(buffer, outSize, tail);
    FUZZ_CHECK(appended == std::min(copied + strlen(tail), outSize - 1) && buffer[appended] == '\0');
    FUZZ_CHECK(strncmp(buffer + copied, tail, appended - copied) == 0);
    const std::size_t formatted = FormatText(buffer, outSize, "%s|%s", text, tail);
    FUZZ_CHECK(formatted == std::min(textLength + 1 + strlen(tail), outSize - 1) && buffer[formatted] == '\0');
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size)
{
    // A buffer size, then three texts (a path or folder, a name, an
    // extension), each ended by a line feed.
    FuzzInput input(data, size);
    const std::size_t outSize = input.U16() % (2 * TEXT_BUFFER_SIZE);
    const std::string path = input.Line();
    const std::string name = input.Line();
    const std::string extension = input.Line();

    CheckFolderAndFile(path.c_str());
    CheckJoin(path.c_str(), name.c_str(), extension.c_str());
    CheckValidName(path.c_str());
    CheckValidName(name.c_str());
    CheckTextHelpers(path.c_str(), outSize, name.c_str());
    return 0;
}
