// mp3enc: encodes raw PCM from standard input into an MP3 file with
// libmp3lame. The ripper runs it with a pipe on its standard input; the
// command line is in EncoderOptions.h.
//
// Exit codes: 0 the file is done; 1 bad usage (one line on standard error,
// no file touched); 2 the output file cannot be created; 3 standard input
// cannot be read, ends inside a sample frame, or does not hold the number of
// sample frames --frames gives; 4 the audio cannot be
// encoded or written. The file is written as OUTPUT.part beside OUTPUT and
// renamed to OUTPUT, replacing any older file, only once it is complete: an
// encoder that fails removes it, and one that is killed leaves only the .part.
#include <windows.h>
#include <shellapi.h>

#include <fcntl.h>
#include <io.h>

#include <cstdarg>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include <lame/lame.h>

#include "mp3enc/EncoderOptions.h"

namespace {

// The text of a wide string in code page `codePage`; empty when it cannot be
// converted.
std::string Narrow(const wchar_t* text, UINT codePage)
{
    const int size = WideCharToMultiByte(codePage, 0, text, -1, nullptr, 0, nullptr, nullptr);
    if (size <= 0)
        return std::string();
    std::string out(static_cast<size_t>(size), '\0');
    WideCharToMultiByte(codePage, 0, text, -1, &out[0], size, nullptr, nullptr);
    out.resize(static_cast<size_t>(size) - 1);
    return out;
}

std::wstring Widen(const std::string& text, UINT codePage)
{
    const int size = MultiByteToWideChar(codePage, 0, text.c_str(), -1, nullptr, 0);
    if (size <= 0)
        return std::wstring();
    std::wstring out(static_cast<size_t>(size), L'\0');
    MultiByteToWideChar(codePage, 0, text.c_str(), -1, &out[0], size);
    out.resize(static_cast<size_t>(size) - 1);
    return out;
}

// The tag texts in UTF-8, with every character the ripper passed: from the
// command line as the system holds it (UTF-16), where it can give it, else
// from the code page's arguments.
void TagsAsUtf8(int argc, EncoderOptions& options)
{
    int wideCount = 0;
    LPWSTR* wide = CommandLineToArgvW(GetCommandLineW(), &wideCount);
    EncoderOptions wideOptions;
    std::string problem;
    bool fromWide = false;
    if (wide && wideCount == argc)
    {
        std::vector<std::string> utf8(static_cast<size_t>(wideCount));
        std::vector<const char*> args(static_cast<size_t>(wideCount));
        for (int i = 0; i < wideCount; ++i)
        {
            utf8[i] = Narrow(wide[i], CP_UTF8);
            args[i] = utf8[i].c_str();
        }
        fromWide = ParseEncoderOptions(wideCount, args.data(), wideOptions, problem);
    }
    if (wide)
        LocalFree(wide);
    if (fromWide)
    {
        options.title = wideOptions.title;
        options.artist = wideOptions.artist;
        options.album = wideOptions.album;
        return;
    }
    for (std::string* text : {&options.title, &options.artist, &options.album})
        *text = Narrow(Widen(*text, CP_ACP).c_str(), CP_UTF8);
}

// One ID3v2 text frame from UTF-8: in ISO-8859-1 when every character has
// one there (`setLatin1` also fills the ID3v1 tag), else in UTF-16 with its
// byte order mark.
bool SetTextFrame(lame_t lame, const char* id, const std::string& utf8, void (*setLatin1)(lame_t, const char*))
{
    const std::wstring text = Widen(utf8, CP_UTF8);
    std::string latin1;
    for (wchar_t c : text)
    {
        if (static_cast<unsigned>(c) > 0xFF)
        {
            std::vector<unsigned short> utf16(1, 0xFEFF);
            utf16.insert(utf16.end(), text.begin(), text.end());
            utf16.push_back(0);
            return id3tag_set_textinfo_utf16(lame, id, utf16.data()) == 0;
        }
        latin1.push_back(static_cast<char>(c));
    }
    setLatin1(lame, latin1.c_str());
    return true;
}

enum ExitCode
{
    kDone = 0,
    kBadUsage = 1,
    kCannotCreate = 2,
    kCannotRead = 3,
    kCannotEncode = 4,
};

// Sample frames read at a time: about a second and a half at 44100 Hz.
const size_t kBlockFrames = 65536;
// What libmp3lame asks of an output buffer for `frames` sample frames.
size_t Mp3BufferSize(size_t frames) { return frames * 5 / 4 + 7200; }

class LameEncoder
{
public:
    LameEncoder() : flags(lame_init()) {}
    ~LameEncoder()
    {
        if (flags)
            lame_close(flags);
    }
    LameEncoder(const LameEncoder&) = delete;
    LameEncoder& operator=(const LameEncoder&) = delete;

    lame_t flags;
};

// The file being written, under its .part name until Commit renames it;
// dropped unless committed.
class PartFile
{
public:
    explicit PartFile(const std::string& outputPath) : finalPath(outputPath), path(outputPath + ".part")
    {
        handle = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    }
    ~PartFile()
    {
        if (handle != INVALID_HANDLE_VALUE)
            CloseHandle(handle);
        if (!committed)
            DeleteFileA(path.c_str());
    }
    PartFile(const PartFile&) = delete;
    PartFile& operator=(const PartFile&) = delete;

    bool IsOpen() const { return handle != INVALID_HANDLE_VALUE; }
    const std::string& Path() const { return path; }

    bool Write(const unsigned char* bytes, size_t count)
    {
        DWORD written = 0;
        return count == 0 || (WriteFile(handle, bytes, static_cast<DWORD>(count), &written, nullptr) && written == count);
    }

    bool WriteAt(DWORD offset, const unsigned char* bytes, size_t count)
    {
        return SetFilePointer(handle, static_cast<LONG>(offset), nullptr, FILE_BEGIN) == offset &&
               Write(bytes, count);
    }

    // Closes the file and gives it its final name.
    bool Commit()
    {
        const bool closed = CloseHandle(handle) != 0;
        handle = INVALID_HANDLE_VALUE;
        if (!closed)
            return false;
        committed = MoveFileExA(path.c_str(), finalPath.c_str(), MOVEFILE_REPLACE_EXISTING) != 0;
        // Windows 98 has no MoveFileEx: there the older file goes first.
        if (!committed && GetLastError() == ERROR_CALL_NOT_IMPLEMENTED)
        {
            DeleteFileA(finalPath.c_str());
            committed = MoveFileA(path.c_str(), finalPath.c_str()) != 0;
        }
        return committed;
    }

private:
    std::string finalPath;
    std::string path;
    HANDLE handle;
    bool committed = false;
};

// libmp3lame's notes and debugging text would mix with the encoder's own
// lines on standard error; only its errors are shown.
void Discard(const char*, va_list) {}
void ReportLameError(const char* format, va_list arguments)
{
    fputs("mp3enc: libmp3lame: ", stderr);
    vfprintf(stderr, format, arguments);
}

bool Configure(lame_t lame, const EncoderOptions& options)
{
    lame_set_errorf(lame, ReportLameError);
    lame_set_msgf(lame, Discard);
    lame_set_debugf(lame, Discard);

    static const MPEG_mode kModes[] = {STEREO, JOINT_STEREO, JOINT_STEREO, MONO};
    lame_set_num_channels(lame, options.Channels());
    lame_set_mode(lame, kModes[static_cast<int>(options.mode)]);
    lame_set_force_ms(lame, options.mode == ChannelMode::ForcedJoint);
    lame_set_in_samplerate(lame, options.sampleRate);
    // The ripper has already converted the audio to the rate it names.
    lame_set_out_samplerate(lame, options.sampleRate);
    lame_set_error_protection(lame, options.errorProtection);
    if (options.vbr)
    {
        lame_set_VBR(lame, vbr_default);
        lame_set_VBR_q(lame, options.vbrQuality);
        lame_set_VBR_min_bitrate_kbps(lame, options.bitRate);
        lame_set_VBR_max_bitrate_kbps(lame, options.maxBitRate);
    }
    else
    {
        lame_set_VBR(lame, vbr_off);
        lame_set_brate(lame, options.bitRate);
        if (options.highQuality)
            lame_set_quality(lame, 2);
    }

    // The tags are written by hand, the ID3v2 tag first: the LAME tag frame
    // goes right after it once the audio is done.
    lame_set_write_id3tag_automatic(lame, 0);
    if (options.HasTags())
    {
        id3tag_init(lame);
        id3tag_add_v2(lame);
        if ((!options.title.empty() && !SetTextFrame(lame, "TIT2", options.title, id3tag_set_title))
            || (!options.artist.empty() && !SetTextFrame(lame, "TPE1", options.artist, id3tag_set_artist))
            || (!options.album.empty() && !SetTextFrame(lame, "TALB", options.album, id3tag_set_album)))
            return false;
        if (options.track != 0)
            id3tag_set_track(lame, std::to_string(options.track).c_str());
        if (!options.isrc.empty() && id3tag_set_fieldvalue(lame, ("TSRC=" + options.isrc).c_str()) != 0)
            return false;
    }
    return lame_init_params(lame) >= 0;
}

int Fail(int code, const std::string& message)
{
    fprintf(stderr, "mp3enc: %s\n", message.c_str());
    return code;
}

// Encodes standard input into `file`, between the ID3v2 and the ID3v1 tag;
// an exit code, with the sample frames read in `frames`.
int Encode(lame_t lame, const EncoderOptions& options, PartFile& file, long long& frames)
{
    std::vector<unsigned char> tag(lame_get_id3v2_tag(lame, nullptr, 0));
    if (!tag.empty() && (lame_get_id3v2_tag(lame, tag.data(), tag.size()) != tag.size() ||
                         !file.Write(tag.data(), tag.size())))
        return Fail(kCannotEncode, "cannot write \"" + file.Path() + "\"");

    const int channels = options.Channels();
    const size_t frameBytes = 2 * static_cast<size_t>(channels);
    std::vector<unsigned char> input(kBlockFrames * frameBytes);
    std::vector<unsigned char> mp3(Mp3BufferSize(kBlockFrames));
    std::vector<short> samples(kBlockFrames * static_cast<size_t>(channels));
    frames = 0;
    for (size_t got = input.size(); got == input.size();)
    {
        got = fread(input.data(), 1, input.size(), stdin);
        if (ferror(stdin))
            return Fail(kCannotRead, "cannot read standard input");
        if (got % frameBytes != 0)
            return Fail(kCannotRead, "standard input ends inside a sample frame");
        // -x: the samples are little-endian, whatever the machine's order.
        for (size_t i = 0; i < got / 2; ++i)
            samples[i] = static_cast<short>(static_cast<uint16_t>(input[2 * i] | input[2 * i + 1] << 8));
        const int count = static_cast<int>(got / frameBytes);
        const int bytes = channels == 2 ? lame_encode_buffer_interleaved(lame, samples.data(), count, mp3.data(),
                                                                          static_cast<int>(mp3.size()))
                                        : lame_encode_buffer(lame, samples.data(), samples.data(), count, mp3.data(),
                                                             static_cast<int>(mp3.size()));
        if (bytes < 0)
            return Fail(kCannotEncode, "libmp3lame could not encode the audio");
        if (!file.Write(mp3.data(), static_cast<size_t>(bytes)))
            return Fail(kCannotEncode, "cannot write \"" + file.Path() + "\"");
        frames += count;
    }
    // Only the whole track is a track: an input that ended early (the
    // ripper died) must not leave a short file that decodes cleanly.
    if (options.frames >= 0 && frames != options.frames)
        return Fail(kCannotRead, "standard input held " + std::to_string(frames) + " sample frames, not " +
                                     std::to_string(options.frames));

    const int bytes = lame_encode_flush(lame, mp3.data(), static_cast<int>(mp3.size()));
    if (bytes < 0)
        return Fail(kCannotEncode, "libmp3lame could not encode the audio");
    unsigned char tail[128];
    const size_t tailSize = lame_get_id3v1_tag(lame, tail, sizeof(tail));
    if (!file.Write(mp3.data(), static_cast<size_t>(bytes)) || !file.Write(tail, tailSize))
        return Fail(kCannotEncode, "cannot write \"" + file.Path() + "\"");
    // The LAME tag takes the first frame's place now that the totals are
    // known: decoders read the encoder's delay and padding from it. It is
    // left out when that frame is too small to hold it (the lowest rates).
    const size_t lameTagSize = lame_get_lametag_frame(lame, mp3.data(), mp3.size());
    if (lameTagSize > 0 && !file.WriteAt(static_cast<DWORD>(tag.size()), mp3.data(), lameTagSize))
        return Fail(kCannotEncode, "cannot write \"" + file.Path() + "\"");
    return kDone;
}

} // namespace

int main(int argc, char** argv)
{
    EncoderOptions options;
    std::string problem;
    if (!ParseEncoderOptions(argc, argv, options, problem))
        return Fail(kBadUsage, problem + "; " + kEncoderUsage);
    TagsAsUtf8(argc, options);
    LameEncoder lame;
    if (!lame.flags)
        return Fail(kCannotEncode, "libmp3lame could not start");
    if (!Configure(lame.flags, options))
        return Fail(kBadUsage, std::string("libmp3lame refuses these settings; ") + kEncoderUsage);

    _setmode(_fileno(stdin), _O_BINARY);
    PartFile file(options.outputPath);
    if (!file.IsOpen())
        return Fail(kCannotCreate, "cannot create \"" + file.Path() + "\"");
    long long frames = 0;
    const int code = Encode(lame.flags, options, file, frames);
    if (code != kDone)
        return code;
    if (!file.Commit())
        return Fail(kCannotCreate, "cannot create \"" + options.outputPath + "\"");
    if (!options.silent)
        fprintf(stderr, "mp3enc: %lld sample frames at %d Hz, %d channel(s), into \"%s\"\n", frames,
                options.sampleRate, options.Channels(), options.outputPath.c_str());
    return kDone;
}
