#include "sound/LSoundPlayer.h"

#include <algorithm>
#include <iterator>

#include "sound/LSRCPeakLimit.h"
#include "sound/LSoundTime.h"
#include "sound/SampleBlocks.h"

namespace {

constexpr uint16_t STATE_OPEN = 0x0001;
constexpr uint16_t STATE_RAISE = 0x0010;

// Consecutive looks at a buffer the device still holds before the device
// counts as stalled, and the wait between them.
constexpr int STALL_CHECKS = 64;
constexpr DWORD STALL_WAIT_MS = 150;
// A starving stream: the budget, what each pause takes from it, the pause,
// and the wait for data between pauses.
constexpr int STREAM_BUDGET = 7500;
constexpr int STREAM_PAUSE_COST = 350;
constexpr DWORD STREAM_PAUSE_MS = 300;
constexpr int STREAM_WAIT_MS = 100;
// Unpreparing buffers the device still plays: one budget for all of them.
constexpr int UNPREPARE_BUDGET_MS = 1000;
constexpr DWORD UNPREPARE_RETRY_MS = 50;

// The device sets the done flag from a thread of its own.
bool IsDone(const WAVEHDR& header)
{
    return (*static_cast<const volatile DWORD*>(&header.dwFlags) & WHDR_DONE) != 0;
}

} // namespace

void LSoundPlayerNotify::spntfPlay(int) {}
void LSoundPlayerNotify::spntfStop(int) {}
void LSoundPlayerNotify::spntfPosition(int, int64_t) {}
void LSoundPlayerNotify::spntfLevels(int, const LSoundLevels&) {}

void LSoundPlayerWaveHeader::Destroy(HWAVEOUT device, int& budgetMs)
{
    Header.dwBufferLength = nFullSize;
    while (waveOutUnprepareHeader(device, &Header, sizeof(Header)) == WAVERR_STILLPLAYING && budgetMs > 0)
    {
        Sleep(UNPREPARE_RETRY_MS);
        budgetMs -= UNPREPARE_RETRY_MS;
    }
}

LSoundPlayer::LSoundPlayer() : lssSource(new LSRCNull())
{
    InitializeCriticalSection(&critical);
    hBufferEvent = CreateEventA(nullptr, TRUE, FALSE, nullptr);
}

LSoundPlayer::~LSoundPlayer()
{
    Stop();
    lssSource = LSoundSourcePtr();
    if (hBufferEvent)
        CloseHandle(hBufferEvent);
    DeleteCriticalSection(&critical);
}

void LSoundPlayer::SetNotifyTarget(LSoundPlayerNotify* target, int value)
{
    receiver = target ? target : &silentReceiver;
    iValue = value;
}

bool LSoundPlayer::Start(LSoundSourcePtr source)
{
    Stop();
    if (source->bError || !hBufferEvent)
        return false;
    lssSource = LSPPeakLimit(SAMPLE_PEAK_16BIT).OpenSource(source);
    if (lssSource->bError)
    {
        lssSource = LSoundSourcePtr(new LSRCNull());
        return false;
    }

    nChannels = std::max<uint8_t>(lssSource->nChannels, 1);
    WAVEFORMATEX format = {};
    format.wFormatTag = WAVE_FORMAT_PCM;
    format.nChannels = nChannels;
    format.nSamplesPerSec = static_cast<DWORD>(lssSource->nSampleRate);
    format.wBitsPerSample = 16;
    format.nBlockAlign = static_cast<WORD>(nChannels * 2);
    format.nAvgBytesPerSec = format.nSamplesPerSec * format.nBlockAlign;
    const UINT device = iDevice == 0 ? WAVE_MAPPER : iDevice - 1;
    const DWORD_PTR event = reinterpret_cast<DWORD_PTR>(hBufferEvent);
    if (waveOutOpen(&hDevice, device, &format, event, 0, CALLBACK_EVENT) != MMSYSERR_NOERROR &&
        waveOutOpen(&hDevice, device, &format, event, 0, CALLBACK_EVENT | WAVE_MAPPED) != MMSYSERR_NOERROR)
    {
        hDevice = nullptr;
        lssSource = LSoundSourcePtr(new LSRCNull());
        return false;
    }

    nBlock = PlayerBlockFrames(lssSource->nSampleRate);
    const DWORD bufferBytes = static_cast<DWORD>(nBlock) * nChannels * 2;
    pConversion = new int32_t[static_cast<size_t>(nBlock) * nChannels];
    hSampleMemory = GlobalAlloc(GMEM_MOVEABLE | GMEM_SHARE, PLAYER_BUFFERS * bufferBytes);
    pSamples = hSampleMemory ? static_cast<int16_t*>(GlobalLock(hSampleMemory)) : nullptr;
    for (int i = 0; i < PLAYER_BUFFERS && pSamples; ++i)
    {
        LSoundPlayerWaveHeader& buffer = Buffers[i];
        buffer.nFullSize = bufferBytes;
        buffer.Header = {};
        buffer.Header.lpData = reinterpret_cast<LPSTR>(pSamples) + i * bufferBytes;
        buffer.Header.dwBufferLength = bufferBytes;
        waveOutPrepareHeader(hDevice, &buffer.Header, sizeof(buffer.Header));
        buffer.Header.dwFlags |= WHDR_DONE;
        buffer.Header.dwUser = PLAYER_NO_AUDIO;
        buffer.Levels = {};
    }

    nState = STATE_OPEN | STATE_RAISE;
    bNotifyStop = false;
    bLevelsChanged = false;
    iNext = 0;
    nPosition = lssSource->GetPosition();
    if (pSamples)
        LThread::Start(THREAD_PRIORITY_BELOW_NORMAL);
    if (!hThread)
    {
        // Without memory or a feeding thread nothing would ever play.
        Close();
        return false;
    }
    receiver->spntfPlay(iValue);
    receiver->spntfPosition(iValue, Milliseconds(nPosition));
    return true;
}

void LSoundPlayer::Stop()
{
    if (!IsPlaying())
        return;
    StopThreadTimed(5000);
    Close();
    receiver->spntfStop(iValue);
}

void LSoundPlayer::Close()
{
    waveOutReset(hDevice);
    int budgetMs = UNPREPARE_BUDGET_MS;
    if (pSamples)
        for (LSoundPlayerWaveHeader& buffer : Buffers)
            buffer.Destroy(hDevice, budgetMs);
    if (hSampleMemory)
    {
        GlobalUnlock(hSampleMemory);
        GlobalFree(hSampleMemory);
    }
    hSampleMemory = nullptr;
    pSamples = nullptr;
    delete[] pConversion;
    pConversion = nullptr;
    // The bridge's source end goes with it, which lets a blocked rip finish.
    lssSource = LSoundSourcePtr(new LSRCNull());
    waveOutClose(hDevice);
    hDevice = nullptr;
    nPosition = 0;
    nState = 0;
    bNotifyStop = false;
    bLevelsChanged = false;
}

int64_t LSoundPlayer::Milliseconds(int frames) const
{
    LSoundTime time;
    time.SetSamples(frames, lssSource->nSampleRate);
    return time.nMilliseconds;
}

void LSoundPlayer::ThreadFunction()
{
    int iCountFail = 0;
    while (!stopSignal.IsSet())
    {
        ResetEvent(hBufferEvent);
        EnterCriticalSection(&critical);
        LSoundPlayerWaveHeader& buffer = Buffers[iNext];
        if (IsDone(buffer.Header))
        {
            iCountFail = 0;
            const bool bGoOn = Refill(buffer);
            iNext = (iNext + 1) % PLAYER_BUFFERS;
            LeaveCriticalSection(&critical);
            if (!bGoOn)
                break;
            continue;
        }
        RaisePriorityIfAsked();
        // The device has not returned a buffer for about STALL_CHECKS waits.
        if (++iCountFail == STALL_CHECKS + 1)
        {
            bNotifyStop = true;
            PostNotify();
        }
        LeaveCriticalSection(&critical);
        stopSignal.WaitSignalDual(hBufferEvent, STALL_WAIT_MS);
    }
    waveOutReset(hDevice);
}

bool LSoundPlayer::Refill(LSoundPlayerWaveHeader& buffer)
{
    WAVEHDR& header = buffer.Header;
    if (header.dwUser != PLAYER_NO_AUDIO)
    {
        nPosition = static_cast<int>(header.dwUser);
        CurrentLevels = buffer.Levels;
        bLevelsChanged = true;
        PostNotify();
    }
    header.dwUser = PLAYER_NO_AUDIO;

    const int position = lssSource->GetPosition();
    int available = lssSource->GetEndSample() - position;
    if (available < 1 && lssSource->IsStreaming() && !WaitForStream(position, available))
        return true;

    if (available > 0)
    {
        const int frames = std::min(available, nBlock);
        const int samples = frames * nChannels;
        lssSource->Read(pConversion, frames);
        // The device takes the machine's 16-bit samples, which on x86 are little-endian.
        SamplesTo16LE(pConversion, samples, reinterpret_cast<uint8_t*>(header.lpData));
        const auto* data = reinterpret_cast<const int16_t*>(header.lpData);
        header.dwBufferLength = static_cast<DWORD>(samples) * 2;
        header.dwUser = static_cast<DWORD_PTR>(position + frames);
        header.dwFlags &= ~(WHDR_DONE | WHDR_BEGINLOOP | WHDR_ENDLOOP);
        waveOutWrite(hDevice, &header, sizeof(header));
        PlayerLevels(data, frames, nChannels, buffer.Levels);
        return true;
    }
    if (!AllBuffersDone())
        return true;
    bNotifyStop = true;
    PostNotify();
    return false;
}

bool LSoundPlayer::WaitForStream(int position, int& available)
{
    const DWORD bufferBytes = static_cast<DWORD>(nChannels) * nBlock * 2;
    int budget = STREAM_BUDGET;
    for (;;)
    {
        RaisePriorityIfAsked();
        // More than three buffers still to play: this one can wait its turn.
        if (QueuedBytes() > bufferBytes * 3)
            return false;
        // The waits leave the lock free, so that EvNotify never waits on a slow drive.
        LeaveCriticalSection(&critical);
        lssSource->WaitForData(STREAM_WAIT_MS);
        bool bOutOfBudget = false;
        if (QueuedBytes() < bufferBytes / 2)
        {
            WaitForSingleObject(stopSignal.hSignalObject, STREAM_PAUSE_MS);
            budget -= STREAM_PAUSE_COST;
            bOutOfBudget = budget <= 0;
        }
        EnterCriticalSection(&critical);
        available = lssSource->GetEndSample() - position;
        if (bOutOfBudget || available > 0 || !lssSource->IsStreaming() || stopSignal.IsSet())
            return true;
    }
}

void LSoundPlayer::RaisePriorityIfAsked()
{
    if (nState & STATE_RAISE)
    {
        SetThreadPriority(GetCurrentThread(), THREAD_PRIORITY_TIME_CRITICAL);
        nState &= static_cast<uint16_t>(~STATE_RAISE);
    }
}

DWORD LSoundPlayer::QueuedBytes() const
{
    DWORD bytes = 0;
    for (const LSoundPlayerWaveHeader& buffer : Buffers)
        if (!IsDone(buffer.Header))
            bytes += buffer.Header.dwBufferLength;
    return bytes;
}

bool LSoundPlayer::AllBuffersDone() const
{
    return std::all_of(std::begin(Buffers), std::end(Buffers),
                       [](const LSoundPlayerWaveHeader& buffer) { return IsDone(buffer.Header); });
}

void LSoundPlayer::EvNotify()
{
    if (bNotifyStop)
    {
        EnterCriticalSection(&critical);
        const int end = lssSource->GetEndSample();
        LeaveCriticalSection(&critical);
        receiver->spntfPosition(iValue, Milliseconds(end));
        if (bNotifyStop)
            Stop();
        return;
    }
    EnterCriticalSection(&critical);
    const bool bChanged = bLevelsChanged;
    bLevelsChanged = false;
    const int position = nPosition;
    const LSoundLevels levels = CurrentLevels;
    LeaveCriticalSection(&critical);
    if (!bChanged)
        return;
    receiver->spntfPosition(iValue, Milliseconds(position));
    receiver->spntfLevels(iValue, levels);
}
