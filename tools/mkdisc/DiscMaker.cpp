#include "mkdisc/DiscMaker.h"

#include <cstdint>
#include <cstdio>
#include <cstring>

// All sample arithmetic is integer, so a disc comes out the same from every
// compiler and FPU (the Windows build and the native build agree bit for bit).

namespace {

const int kSampleRate = kDiscFramesPerSector * kDiscSectorsPerSecond;  // 44100

// The splitmix64 finaliser: a well-mixed 64-bit value for any 64-bit key.
uint64_t Mix(uint64_t x)
{
    x += 0x9E3779B97F4A7C15ull;
    x = (x ^ (x >> 30)) * 0xBF58476D1CE4E5B9ull;
    x = (x ^ (x >> 27)) * 0x94D049BB133111EBull;
    return x ^ (x >> 31);
}

// Sample n of the stream keyed `key` (splitmix64 seeded with `key`).
uint64_t Noise(uint64_t key, uint64_t n) { return Mix(key + n * 0x9E3779B97F4A7C15ull); }

uint64_t StreamKey(unsigned seed, int track) { return Mix((uint64_t(seed) << 8) | unsigned(track)); }

void PutSample(unsigned char* out, int value)
{
    out[0] = static_cast<unsigned char>(value & 0xFF);
    out[1] = static_cast<unsigned char>((value >> 8) & 0xFF);
}

unsigned char Bcd(int value) { return static_cast<unsigned char>((value / 10) << 4 | value % 10); }

// A MODE1/2352 sector: sync, header (the disc address + 150 in BCD, mode 1),
// then filler seeded by track `number` and the sector's place `n` in it.
void DataSector(unsigned seed, int number, int n, int address, unsigned char* out)
{
    out[0] = out[11] = 0x00;
    for (int i = 1; i < 11; ++i)
        out[i] = 0xFF;
    out[12] = Bcd((address + 150) / 4500);
    out[13] = Bcd((address + 150) / 75 % 60);
    out[14] = Bcd((address + 150) % 75);
    out[15] = 1;
    const uint64_t key = StreamKey(seed, number);
    for (int i = 16; i < kDiscSectorSize; i += 8)
    {
        const uint64_t bits = Noise(key, uint64_t(n) * 292 + (i - 16) / 8);
        for (int b = 0; b < 8; ++b)
            out[i + b] = static_cast<unsigned char>(bits >> (8 * b));
    }
}

bool IsDataTrack(const DiscLayout& layout, int number)
{
    return (number == 1 && layout.dataTrackSectors > 0)
           || (layout.extraTrackSectors > 0 && number == DiscTrackCount(layout));
}

// The sectors of track `number` from its INDEX 01 on.
int TrackLength(const DiscLayout& layout, int number)
{
    if (number == 1 && layout.dataTrackSectors > 0)
        return layout.dataTrackSectors;
    if (layout.extraTrackSectors > 0 && number == DiscTrackCount(layout))
        return layout.extraTrackSectors;
    return layout.trackSectors[number - (layout.dataTrackSectors > 0 ? 2 : 1)];
}

int Lookup(const std::map<int, int>& map, int key)
{
    const auto found = map.find(key);
    return found == map.end() ? 0 : found->second;
}

// The image's sectors before track `number`'s INDEX 01 that belong to it:
// hidden audio before track 1, silence before a later track.
int ImageGap(const DiscLayout& layout, int number)
{
    return number == 1 ? layout.hiddenSectors : Lookup(layout.pregapSectors, number);
}

// Sectors on the disc before the image's first: track 1's PREGAP.
int LeadingSilence(const DiscLayout& layout) { return Lookup(layout.pregapSectors, 1); }

// The image sector where track `number`'s INDEX 01 lies (count + 1: the image's end).
int ImageTrackStart(const DiscLayout& layout, int number)
{
    const int count = DiscTrackCount(layout);
    int start = 0;
    for (int k = 1; k < number && k <= count; ++k)
        start += ImageGap(layout, k) + TrackLength(layout, k);
    return number <= count ? start + ImageGap(layout, number) : start;
}

bool IsExtraTrack(const DiscLayout& layout, int number)
{
    return layout.extraTrackSectors > 0 && number == DiscTrackCount(layout);
}

// --- Demo tunes --------------------------------------------------------------

// sin(2*pi*phase/2^32) in units of 1/32768: an odd fifth-order polynomial on
// the quarter wave, Q30 fixed point, within 1.5e-4 of the sine.
int Sine(uint32_t phase)
{
    uint32_t half = phase & 0x7FFFFFFFu;
    if (half > 0x40000000u)
        half = 0x80000000u - half;
    const int64_t x = half;  // 1 << 30 is a quarter wave
    const int64_t x2 = (x * x) >> 30;
    int64_t p = (77962969 * x2) >> 30;
    p = ((690850858 - p) * x2) >> 30;
    p = ((1686629713 - p) * x) >> 30;
    const int value = static_cast<int>(p >> 15);
    return (phase & 0x80000000u) ? -value : value;
}

int Triangle(uint32_t phase)
{
    const int u = static_cast<int>((phase + 0x40000000u) >> 15);  // 0..131071, starting at zero
    return u < 65536 ? u - 32768 : 98304 - u;
}

// Phase step of a MIDI note at 44100 Hz.
uint32_t NoteStep(int note)
{
    static const uint64_t kMilliHz[12] = {261626, 277183, 293665, 311127, 329628, 349228,
                                          369994, 391995, 415305, 440000, 466164, 493883};
    const int octave = (note - 60 + 120) / 12 - 10;
    uint64_t milliHz = kMilliHz[(note - 60 + 120) % 12];
    milliHz = octave >= 0 ? milliHz << octave : milliHz >> -octave;
    return static_cast<uint32_t>((milliHz << 32) / (uint64_t(kSampleRate) * 1000));
}

// `value` scaled by `numerator`/32768.
int64_t Scale(int64_t value, int64_t numerator) { return value * numerator / 32768; }

// A plucked note of `length` frames at `pos`: a linear rise of `rise` frames,
// then a (1-u)^2 decay to zero at its end; Q15.
int64_t Pluck(int64_t pos, int64_t length, int64_t rise)
{
    if (pos < rise)
        return 32768 * pos / rise;
    const int64_t rest = length - pos;  // frames left
    const int64_t span = length - rise;
    return 32768 * rest / span * rest / span;
}

// A held chord: linear rise and fall of `ramp` frames; Q15.
int64_t Swell(int64_t pos, int64_t length, int64_t ramp)
{
    const int64_t edge = pos < length - pos ? pos : length - pos;
    return edge >= ramp ? 32768 : 32768 * edge / ramp;
}

const signed char H = 1;  // melody: hold the note before; 0 is a rest

struct DemoTune
{
    int framesPerStep;         // an eighth note
    signed char chords[4][3];  // the pad chord of each bar, MIDI notes
    signed char bass[4];       // bass note of each bar, played on beats 1 and 3
    signed char melody[32];    // one entry per eighth note of the four bars
};

// Four-bar loops, repeated to the end of the track.
const DemoTune kTunes[5] = {
    // C major, 100 bpm: C G Am F
    {13230, {{60, 64, 67}, {55, 59, 62}, {57, 60, 64}, {53, 57, 60}}, {36, 43, 45, 41},
     {76, H, 79, 76, 74, 72, 74, 76, 74, H, 71, 67, H, 69, 71, 74,
      72, H, 76, 81, H, 79, 76, 72, 69, 72, 77, 76, 74, H, 0, 0}},
    // G major, 84 bpm: G Em C D
    {15750, {{55, 59, 62}, {55, 59, 64}, {55, 60, 64}, {54, 57, 62}}, {43, 40, 36, 38},
     {71, H, 74, H, 79, H, 78, 74, 76, H, H, 71, 67, H, 71, H,
      72, H, 76, 79, 76, H, 72, H, 74, H, 69, H, 66, H, 0, 0}},
    // F major, 120 bpm: F Dm Bb C
    {11025, {{53, 57, 60}, {53, 57, 62}, {53, 58, 62}, {52, 55, 60}}, {41, 38, 46, 48},
     {72, 69, 72, 77, H, 76, 74, 72, 74, H, 69, H, 65, 69, 74, H,
      74, 72, 70, 74, 77, H, 74, 70, 72, H, 76, 79, 76, 72, H, 0}},
    // D major, 90 bpm: D Bm G A
    {14700, {{57, 62, 66}, {54, 59, 62}, {55, 59, 62}, {57, 61, 64}}, {38, 47, 43, 45},
     {78, H, 76, 74, 69, H, 74, 78, 78, H, H, 74, 71, H, 74, H,
      79, H, 78, 76, 74, H, 71, 74, 76, H, H, 73, 69, H, 0, 0}},
    // A minor, 72 bpm: Am F C G
    {18375, {{57, 60, 64}, {57, 60, 65}, {55, 60, 64}, {55, 59, 62}}, {45, 41, 48, 43},
     {69, 72, 76, H, H, 74, 72, 71, 72, H, 69, H, 77, 76, 72, H,
      76, H, 79, H, 76, 74, 72, H, 74, H, 71, H, 67, H, 0, 0}},
};

// Track lengths in sectors, each up to the next track's index 1: 1832, 2297,
// 1458, 2165, 1726 (9478 in all, 2:06.28). The last kDemoGapSectors of track 2
// are track 3's gap.
const int kDemoSectors[5] = {1832, 2297, 1458, 2165, 1726};
const int kDemoGapSectors = 150;

// Frame `t` of a demo track of `length` frames, left and right. Peak below
// 17900 (-5.2 dBFS) by construction: melody 8300/6700, pad 3 x 2000/2450,
// bass 3600; the loudest sample of the disc is near -6 dBFS.
void DemoFrame(const DemoTune& tune, int64_t t, int64_t length, int& left, int& right)
{
    const int64_t stepFrames = tune.framesPerStep;
    const int64_t step = t / stepFrames;
    const int bar = static_cast<int>(step / 8 % 4);
    const int64_t barStart = step / 8 * 8 * stepFrames;

    // Melody: sine with a little triangle, plucked.
    int64_t melody = 0;
    int first = static_cast<int>(step % 32);
    while (tune.melody[first] == H)
        --first;
    int end = static_cast<int>(step % 32) + 1;
    while (end < 32 && tune.melody[end] == H)
        ++end;
    if (tune.melody[first] != 0)
    {
        const int64_t pos = t - (step - (step % 32 - first)) * stepFrames;
        const uint32_t phase = NoteStep(tune.melody[first]) * static_cast<uint32_t>(pos);
        const int64_t voice = (3 * Sine(phase) + Triangle(phase)) / 4;
        melody = Scale(voice, Pluck(pos, (end - first) * stepFrames, 441));
    }

    // Pad: the bar's chord, swelling in and out; the right channel a touch sharp.
    int64_t padLeft = 0, padRight = 0;
    const int64_t barPos = t - barStart;
    const int64_t swell = Swell(barPos, 8 * stepFrames, kSampleRate * 3 / 10);
    for (int v = 0; v < 3; ++v)
    {
        const uint32_t stepL = NoteStep(tune.chords[bar][v]);
        const uint32_t stepR = stepL + stepL / 1000;
        padLeft += Sine(stepL * static_cast<uint32_t>(barPos));
        padRight += Sine(stepR * static_cast<uint32_t>(barPos));
    }
    padLeft = Scale(padLeft, swell);
    padRight = Scale(padRight, swell);

    // Bass: triangle, on beats 1 and 3.
    const int64_t halfBar = 4 * stepFrames;
    const int64_t bassPos = barPos % halfBar;
    const uint32_t bassPhase = NoteStep(tune.bass[bar]) * static_cast<uint32_t>(bassPos);
    const int64_t bass = Scale(Triangle(bassPhase), Pluck(bassPos, halfBar, 882));

    // Whole track: 10 ms fade in, 3 s fade out.
    const int64_t fadeOut = 3 * kSampleRate;
    int64_t fade = 32768;
    if (t < 441)
        fade = 32768 * t / 441;
    if (length - t < fadeOut)
        fade = fade * (length - t) / fadeOut;

    const int64_t l = Scale(melody, 8300) + Scale(padLeft, 2000) + Scale(bass, 3600);
    const int64_t r = Scale(melody, 6700) + Scale(padRight, 2450) + Scale(bass, 3600);
    left = static_cast<int>(Scale(l, fade));
    right = static_cast<int>(Scale(r, fade));
}

} // namespace

std::string CheckDiscLayout(const DiscLayout& layout)
{
    if (layout.trackSectors.empty())
        return "no audio tracks";
    if (DiscTrackCount(layout) > kDiscMaxTracks)
        return "more than 99 tracks";
    if (layout.dataTrackSectors < 0 || layout.extraTrackSectors < 0)
        return "negative data track length";
    long long total = layout.dataTrackSectors;
    if (layout.extraTrackSectors > 0)
        total += static_cast<long long>(kDiscSessionGap) + layout.extraTrackSectors;
    for (int sectors : layout.trackSectors)
    {
        if (sectors < 1)
            return "a track is shorter than one sector";
        total += sectors;
    }
    if (layout.hiddenSectors < 0 || (layout.hiddenSectors > 0 && layout.dataTrackSectors > 0))
        return "hidden audio goes before an audio track 1";
    total += layout.hiddenSectors;
    const int count = DiscTrackCount(layout);
    const auto isAudioTrack = [&](int number) {
        return number >= 1 && number <= count && !IsDataTrack(layout, number);
    };
    for (const auto& pregap : layout.pregapSectors)
    {
        if (!isAudioTrack(pregap.first) || pregap.second < 1)
            return "a pregap belongs to an audio track and is a sector or longer";
        if (pregap.first == 1 && layout.hiddenSectors > 0)
            return "track 1 has either hidden audio or a pregap";
        total += pregap.second;
    }
    if (total > kDiscMaxSectors)
        return "the disc is longer than 99:59:74";
    if (!layout.catalog.empty()
        && (layout.catalog.size() != 13 || layout.catalog.find_first_not_of("0123456789") != std::string::npos))
        return "a catalog number has 13 digits";
    for (const auto& code : layout.isrc)
        if (!isAudioTrack(code.first) || code.second.size() != 12
            || code.second.find_first_not_of("0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZ") != std::string::npos)
            return "an ISRC has 12 capital letters and digits, for an audio track";
    for (int number : layout.preEmphasis)
        if (!isAudioTrack(number))
            return "pre-emphasis is for an audio track";
    std::vector<std::pair<int, std::string>> texts = {{1, layout.title}, {1, layout.performer}};
    texts.insert(texts.end(), layout.trackTitles.begin(), layout.trackTitles.end());
    texts.insert(texts.end(), layout.trackPerformers.begin(), layout.trackPerformers.end());
    for (const auto& text : texts)
        if (text.first < 1 || text.first > count || text.second.size() > 80
            || text.second.find_first_of("\"\r\n") != std::string::npos)
            return "a text is for a track of the disc, without quotes or line breaks, at most 80 characters";
    return "";
}

int DiscTrackCount(const DiscLayout& layout)
{
    return static_cast<int>(layout.trackSectors.size()) + (layout.dataTrackSectors > 0 ? 1 : 0)
           + (layout.extraTrackSectors > 0 ? 1 : 0);
}

int DiscTotalSectors(const DiscLayout& layout) { return ImageTrackStart(layout, DiscTrackCount(layout) + 1); }

int DiscTrackStart(const DiscLayout& layout, int number)
{
    const bool bAfterGap = layout.extraTrackSectors > 0 && number >= DiscTrackCount(layout);
    return LeadingSilence(layout) + ImageTrackStart(layout, number) + (bAfterGap ? kDiscSessionGap : 0);
}

int DiscPregapStart(const DiscLayout& layout, int number)
{
    return DiscTrackStart(layout, number) - (number == 1 ? LeadingSilence(layout) : 0) - ImageGap(layout, number);
}

std::string DiscCueSheet(const DiscLayout& layout, const std::string& binName)
{
    std::string text;
    if (!layout.catalog.empty())
        text += "CATALOG " + layout.catalog + "\r\n";
    if (!layout.title.empty())
        text += "TITLE \"" + layout.title + "\"\r\n";
    if (!layout.performer.empty())
        text += "PERFORMER \"" + layout.performer + "\"\r\n";
    text += "FILE \"" + binName + "\" BINARY\r\n";
    char line[64];
    const auto index = [&](int number, int sector) {
        snprintf(line, sizeof(line), "    INDEX %02d %02d:%02d:%02d\r\n", number, sector / 4500, sector / 75 % 60,
                 sector % 75);
        text += line;
    };
    for (int number = 1; number <= DiscTrackCount(layout); ++number)
    {
        // The index is the track's place in the file; the reader adds the gap.
        const int start = ImageTrackStart(layout, number);
        if (IsExtraTrack(layout, number))
            text += "REM SESSION 02\r\n";
        snprintf(line, sizeof(line), "  TRACK %02d %s\r\n", number, IsDataTrack(layout, number) ? "MODE1/2352" : "AUDIO");
        text += line;
        if (layout.preEmphasis.count(number))
            text += "    FLAGS PRE\r\n";
        const auto title = layout.trackTitles.find(number);
        if (title != layout.trackTitles.end())
            text += "    TITLE \"" + title->second + "\"\r\n";
        const auto performer = layout.trackPerformers.find(number);
        if (performer != layout.trackPerformers.end())
            text += "    PERFORMER \"" + performer->second + "\"\r\n";
        const auto isrc = layout.isrc.find(number);
        if (isrc != layout.isrc.end())
            text += "    ISRC " + isrc->second + "\r\n";
        if (number == 1 && LeadingSilence(layout) > 0)
        {
            const int silence = LeadingSilence(layout);
            snprintf(line, sizeof(line), "    PREGAP %02d:%02d:%02d\r\n", silence / 4500, silence / 75 % 60, silence % 75);
            text += line;
        }
        if (ImageGap(layout, number) > 0)
            index(0, start - ImageGap(layout, number));
        index(1, start);
    }
    return text;
}

void MakeSector(const DiscLayout& layout, int index, unsigned char* out)
{
    // The track whose span of the image (its gap, then its sectors) holds the sector.
    const int count = DiscTrackCount(layout);
    int number = 1;
    int gapStart = 0;
    while (number < count && index >= gapStart + ImageGap(layout, number) + TrackLength(layout, number))
    {
        gapStart += ImageGap(layout, number) + TrackLength(layout, number);
        ++number;
    }
    const int start = gapStart + ImageGap(layout, number);
    if (index < start && number > 1)
    {
        memset(out, 0, kDiscSectorSize);  // a pregap's silence
        return;
    }
    if (IsDataTrack(layout, number))
    {
        DataSector(layout.seed, number, index - start, DiscTrackStart(layout, number) + index - start, out);
        return;
    }
    // Hidden audio is a stream of its own, keyed as a track 0.
    const bool bHidden = index < start;
    const int track = number - (layout.dataTrackSectors > 0 ? 2 : 1);  // audio track index
    const int64_t firstFrame = int64_t(index - (bHidden ? 0 : start)) * kDiscFramesPerSector;
    const uint64_t key = StreamKey(layout.seed, bHidden ? 0 : number);
    for (int f = 0; f < kDiscFramesPerSector; ++f)
    {
        int left, right;
        if (layout.audio == DiscAudio::Demo && !bHidden)
        {
            const int64_t length = int64_t(layout.trackSectors[track]) * kDiscFramesPerSector;
            DemoFrame(kTunes[track % 5], firstFrame + f, length, left, right);
        }
        else
        {
            // Uniform noise within +-8192 (-12 dBFS).
            const uint64_t bits = Noise(key, firstFrame + f);
            left = static_cast<int>(bits & 0x3FFF) - 8192;
            right = static_cast<int>((bits >> 16) & 0x3FFF) - 8192;
        }
        PutSample(out + 4 * f, left);
        PutSample(out + 4 * f + 2, right);
    }
}

std::string DiscImagePath(const std::string& cuePath)
{
    const size_t name = cuePath.find_last_of("/\\");
    const size_t dot = cuePath.find_last_of('.');
    const bool hasExtension = dot != std::string::npos && (name == std::string::npos || dot > name);
    return (hasExtension ? cuePath.substr(0, dot) : cuePath) + ".bin";
}

bool WriteDisc(const DiscLayout& layout, const std::string& cuePath, std::string& error)
{
    error = CheckDiscLayout(layout);
    if (!error.empty())
        return false;
    const std::string binPath = DiscImagePath(cuePath);
    const size_t name = binPath.find_last_of("/\\");
    const std::string binName = name == std::string::npos ? binPath : binPath.substr(name + 1);
    if (binName.find('"') != std::string::npos)
    {
        error = "the image name may not hold a quote: " + binName;
        return false;
    }

    FILE* image = fopen(binPath.c_str(), "wb");
    if (!image)
    {
        error = "cannot create " + binPath;
        return false;
    }
    const int kBlockSectors = 256;
    std::vector<unsigned char> block(size_t(kBlockSectors) * kDiscSectorSize);
    const int total = DiscTotalSectors(layout);
    bool ok = true;
    for (int lba = 0; ok && lba < total; lba += kBlockSectors)
    {
        const int count = total - lba < kBlockSectors ? total - lba : kBlockSectors;
        for (int i = 0; i < count; ++i)
            MakeSector(layout, lba + i, &block[size_t(i) * kDiscSectorSize]);
        ok = fwrite(block.data(), kDiscSectorSize, count, image) == size_t(count);
    }
    ok = (fclose(image) == 0) && ok;
    if (!ok)
    {
        remove(binPath.c_str());
        error = "cannot write " + binPath;
        return false;
    }

    const std::string text = DiscCueSheet(layout, binName);
    FILE* cue = fopen(cuePath.c_str(), "wb");
    ok = cue && fwrite(text.data(), 1, text.size(), cue) == text.size();
    ok = cue && (fclose(cue) == 0) && ok;
    if (!ok)
    {
        remove(cuePath.c_str());
        error = "cannot write " + cuePath;
        return false;
    }
    return true;
}

DiscLayout DemoDiscLayout()
{
    DiscLayout layout;
    layout.trackSectors.assign(kDemoSectors, kDemoSectors + 5);
    layout.audio = DiscAudio::Demo;
    // Two seconds of silence before track 3, its index 0, taken from the end
    // of track 2: the table of contents, and so the disc id, stay.
    layout.trackSectors[1] -= kDemoGapSectors;
    layout.pregapSectors[3] = kDemoGapSectors;
    // What a pressed disc carries of itself: its names (the same as the
    // tests' local database gives), its catalog number and the tracks'
    // recording codes, made up in the codes' own form.
    layout.performer = "The Talmarin Quintet";
    layout.title = "Five Short Tunes";
    const char* const titles[5] = {"Morning in C", "Slow Walk in G", "Quick Steps in F", "Evening in D",
                                   "Farewell in A Minor"};
    for (int track = 1; track <= 5; ++track)
    {
        layout.trackTitles[track] = titles[track - 1];
        layout.isrc[track] = "XXTLM260000" + std::to_string(track);
    }
    layout.catalog = "0000000260115";
    return layout;
}
