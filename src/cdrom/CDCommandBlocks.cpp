#include "cdrom/CDCommandBlocks.h"

#include <cstring>
#include <utility>

#include "files/TextBuffer.h"
#include "sound/SampleBlocks.h"

void MakeReadTOCCdb(uint8_t cdb[10])
{
    static const uint8_t kReadTOC[10] = {
        0x43,        // operation code: READ TOC/PMA/ATIP
        0x00,        // MSF = 0: addresses as LBA
        0x00,        // format 0: table of contents
        0, 0, 0,     // reserved
        0x01,        // starting track number
        0x08, 0x00,  // allocation length 2048, MSB first
        0x00,        // control
    };
    memcpy(cdb, kReadTOC, sizeof(kReadTOC));
}

void MakeReadCDCdb(uint8_t cdb[12], int32_t startSector, uint8_t nSectors)
{
    const uint32_t lba = static_cast<uint32_t>(startSector);
    cdb[0] = 0xBE;  // operation code: READ CD
    cdb[1] = 0x00;  // expected sector type: any
    cdb[2] = static_cast<uint8_t>(lba >> 24);  // starting logical block address, MSB first
    cdb[3] = static_cast<uint8_t>(lba >> 16);
    cdb[4] = static_cast<uint8_t>(lba >> 8);
    cdb[5] = static_cast<uint8_t>(lba);
    cdb[6] = 0x00;  // transfer length in blocks, MSB first
    cdb[7] = 0x00;
    cdb[8] = nSectors;
    cdb[9] = 0xF0;   // sync, header codes (all), user data, EDC/ECC
    cdb[10] = 0x00;  // sub-channel data selection: none
    cdb[11] = 0x00;  // control
}

void MakeReadCDAudioCdb(uint8_t cdb[12], int32_t startSector, uint8_t nSectors, int c2Bytes)
{
    MakeReadCDCdb(cdb, startSector, nSectors);
    cdb[1] = 0x04;  // expected sector type 1: CD-DA
    cdb[9] = static_cast<uint8_t>(0x10 | (c2Bytes == 294 ? 0x02 : c2Bytes == 296 ? 0x04 : 0x00));  // user data, C2
}

void MakeInquiryCdb(uint8_t cdb[6])
{
    cdb[0] = 0x12;  // operation code: INQUIRY
    cdb[1] = 0x00;  // EVPD = 0: the standard data
    cdb[2] = 0x00;  // page code
    cdb[3] = 0x00;  // allocation length
    cdb[4] = INQUIRY_RESPONSE_SIZE;
    cdb[5] = 0x00;  // control
}

bool MakeDriveName(const uint8_t* inquiry, std::size_t size, char* name, std::size_t nameSize)
{
    if (nameSize == 0)
        return false;
    name[0] = '\0';
    if (size < 32)
        return false;
    // A field without its trailing spaces, and its length.
    auto trimmed = [inquiry](int at, int width) {
        int n = width;
        while (n > 0 && (inquiry[at + n - 1] == ' ' || inquiry[at + n - 1] == '\0'))
            --n;
        int start = 0;
        while (start < n && inquiry[at + start] == ' ')
            ++start;
        return std::pair<int, int>(at + start, n - start);
    };
    char text[8 + 3 + 16 + 1];
    std::size_t length = 0;
    auto put = [&text, &length, inquiry](std::pair<int, int> field) {
        for (int i = 0; i < field.second; ++i)
        {
            const uint8_t c = inquiry[field.first + i];
            text[length++] = c >= 0x20 && c < 0x7F ? char(c) : '_';
        }
    };
    put(trimmed(8, 8));
    while (length < 8)
        text[length++] = ' ';
    for (char c : {' ', '-', ' '})
        text[length++] = c;
    put(trimmed(16, 16));
    text[length] = '\0';
    CopyText(name, nameSize, text);
    return true;
}

void MakeStartStopUnitCdb(uint8_t cdb[6], bool load)
{
    cdb[0] = 0x1B;  // operation code: START STOP UNIT
    cdb[1] = 0x00;  // IMMED = 0
    cdb[2] = 0x00;
    cdb[3] = 0x00;
    cdb[4] = load ? 0x03 : 0x02;  // LoEj, and Start to load
    cdb[5] = 0x00;  // control
}

namespace {

const int TOC_HEADER_SIZE = 4;
const int TOC_DESCRIPTOR_SIZE = 8;
const uint8_t CONTROL_DATA_TRACK = 0x04;  // CONTROL field (low nibble of byte 1): data track
const uint8_t CONTROL_PRE_EMPHASIS = 0x01;

} // namespace

ProcessResult ParseTOCResponse(const uint8_t* response, std::size_t responseSize, CDTableOfContents& toc)
{
    toc.nTracks = 0;
    if (responseSize < TOC_HEADER_SIZE)
        return Failed;
    const int dataLength = (response[0] << 8) | response[1];
    int t = static_cast<int16_t>(dataLength - 10) >> 3;
    if (t < 0)
        return Failed;
    if (t > TOC_MAX_ENTRIES - 1)
        t = TOC_MAX_ENTRIES - 1;
    // Descriptor i occupies bytes 4 + 8i to 11 + 8i; a drive that claims more
    // descriptors than arrived has its claim cut to those that did.
    const int descriptorsHeld = static_cast<int>((responseSize - TOC_HEADER_SIZE) / TOC_DESCRIPTOR_SIZE);
    if (t + 1 > descriptorsHeld)
        t = descriptorsHeld - 1;
    if (t < 0)
        return Failed;
    for (int i = 0; i <= t; ++i)
    {
        const uint8_t* descriptor = response + TOC_HEADER_SIZE + TOC_DESCRIPTOR_SIZE * i;
        const uint8_t* address = descriptor + 4;
        const int32_t start = static_cast<int32_t>((static_cast<uint32_t>(address[0]) << 24)
                                                   | (static_cast<uint32_t>(address[1]) << 16)
                                                   | (static_cast<uint32_t>(address[2]) << 8) | address[3]);
        if (start < 0 || start > CD_LAST_ADDRESS)
            return Failed;
        toc.nStartSector[i] = start;
        toc.bData[i] = (descriptor[1] & CONTROL_DATA_TRACK) != 0;
        toc.bPreEmphasis[i] = !toc.bData[i] && (descriptor[1] & CONTROL_PRE_EMPHASIS) != 0;
    }
    toc.nTracks = static_cast<uint8_t>(t);
    return Done;
}

std::size_t TOCResponseBytesSent(const uint8_t* buffer, std::size_t bufferSize)
{
    std::size_t n = TOC_HEADER_SIZE;
    if (bufferSize < n)
        return 0;
    for (; n + TOC_DESCRIPTOR_SIZE <= bufferSize; n += TOC_DESCRIPTOR_SIZE)
    {
        bool bUnsent = true;
        for (int i = 0; i < TOC_DESCRIPTOR_SIZE; ++i)
            bUnsent = bUnsent && buffer[n + i] == TOC_UNSENT_FILL;
        if (bUnsent)
            break;
    }
    return n;
}

int32_t TrackEndSector(const CDTableOfContents& toc, int track)
{
    const int32_t next = toc.nStartSector[track + 1];
    const bool bDataFollows = track + 1 < toc.nTracks && toc.bData[track + 1];
    if (!toc.bData[track] && bDataFollows && next - CD_EXTRA_SESSION_GAP >= toc.nStartSector[track])
        return next - CD_EXTRA_SESSION_GAP;
    return next;
}

void CDFramesToSamples(const uint8_t* bytes, int nFrames, int32_t* samples)
{
    SamplesFrom16LE(bytes, nFrames * 2, samples);
}
