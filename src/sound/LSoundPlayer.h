// Plays a sound source through the system's wave-out device. A feeding thread
// of its own keeps 64 device buffers of a tenth of a second filled, below
// normal priority until the device's queue is full and time-critical from
// then on, so that the device does not run dry while the window is busy. The
// user-interface thread hears of start, stop, position and levels through a
// receiver; the feeding thread only posts, and EvNotify calls the receiver.
#pragma once

#include <windows.h>
#include <mmsystem.h>

#include <atomic>
#include <cstdint>

#include "jobs/LThread.h"
#include "jobs/LThreadQueuedNotify.h"
#include "sound/LSoundStream.h"
#include "sound/PlayerLevels.h"

// Told on the user-interface thread; every operation does nothing unless
// overridden, so this class itself is the receiver that ignores everything.
class LSoundPlayerNotify
{
public:
    virtual ~LSoundPlayerNotify() = default;
    // After a successful Start.
    virtual void spntfPlay(int value);
    // At the end of every Stop of an open player.
    virtual void spntfStop(int value);
    // The time of the audio that last finished playing.
    virtual void spntfPosition(int value, int64_t milliseconds);
    // The levels of that audio.
    virtual void spntfLevels(int value, const LSoundLevels& levels);
};

// A buffer's user value when it holds no audio.
constexpr DWORD_PTR PLAYER_NO_AUDIO = 0x80000000;

struct LSoundPlayerWaveHeader
{
    // Restores the full length and unprepares the buffer; while the device
    // still plays it, tries again every 50 ms as long as `budgetMs` lasts,
    // and takes what it waited from it. What still plays then is abandoned.
    void Destroy(HWAVEOUT device, int& budgetMs);

    DWORD nFullSize;
    // dwUser: the frame position just after the buffer's audio, or PLAYER_NO_AUDIO.
    WAVEHDR Header;
    LSoundLevels Levels;
};

class LSoundPlayer : public LThread, private LThreadQueuedNotify
{
public:
    LSoundPlayer();
    ~LSoundPlayer() override;

    // Stops what plays, then plays `source` from its position. False, and
    // closed, when the source is unusable or the device cannot be opened.
    bool Start(LSoundSourcePtr source);
    // Ends playback at once and releases the source; nothing when closed.
    void Stop();
    bool IsPlaying() const { return nState != 0; }
    // A null receiver restores the one that ignores everything.
    void SetNotifyTarget(LSoundPlayerNotify* receiver, int value);

    // The device: 0 the system's default output, n device n - 1.
    UINT iDevice = 0;
    // The open device, for whoever must see what the device does.
    HWAVEOUT hDevice = nullptr;

protected:
    // The feeding loop.
    void ThreadFunction() override;

private:
    void EvNotify() override;
    // Takes buffer iNext, which the device has returned: publishes what it
    // played and fills it again. False when the feeding thread should end.
    bool Refill(LSoundPlayerWaveHeader& buffer);
    // Waits for a streaming source to have frames after `position`; false
    // when the device holds enough that this buffer should wait its turn.
    bool WaitForStream(int position, int& available);
    void RaisePriorityIfAsked();
    // Bytes of the buffers the device still holds.
    DWORD QueuedBytes() const;
    bool AllBuffersDone() const;
    // Unprepares and frees everything Start acquired, closes the device and
    // releases the source; no notification.
    void Close();
    int64_t Milliseconds(int frames) const;

    LSoundPlayerNotify silentReceiver;
    LSoundPlayerNotify* receiver = &silentReceiver;
    // Guards the feeding thread's visits to the buffers and the source, and
    // what it publishes to EvNotify; never held while waiting.
    CRITICAL_SECTION critical;
    // Manual-reset; the device sets it whenever it returns a buffer.
    HANDLE hBufferEvent;
    int iValue = 0;
    int nPosition = 0;
    // STATE_OPEN while the device is open; STATE_RAISE asks the feeding
    // thread to go time-critical at its next opportunity.
    std::atomic<uint16_t> nState{0};
    std::atomic<bool> bNotifyStop{false};
    bool bLevelsChanged = false;
    HGLOBAL hSampleMemory = nullptr;
    int16_t* pSamples = nullptr;
    LSoundSourcePtr lssSource;
    LSoundLevels CurrentLevels = {};
    int32_t* pConversion = nullptr;
    int nBlock = 0;
    uint8_t nChannels = 0;
    LSoundPlayerWaveHeader Buffers[PLAYER_BUFFERS] = {};
    int iNext = 0;
};
