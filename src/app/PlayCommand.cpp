// The Play command: the selected track plays while a worker reads it from
// the disc behind the bridge; Stop follows the player.
#include <windows.h>

#include "app/MainDialog.h"
#include "cdrom/LCDROMRipSectors.h"
#include "sound/LProcessSinkToSource.h"

void MainDialog::CmPlay()
{
    SoundPlayer.Stop();
    const int row = Tracks.SelectedRow();
    const int drive = SelectedDrive();
    LCDTrack track;
    int number = 0;
    if (drive < 0 || !RowTrack(row, track, number))
        return;
    LProcessSinkToSource<LCDROMRipSectors> bridge(44100, 2, SAMPLE_PEAK_16BIT, PLAYER_BUCKET_BYTES);
    auto* rip = new LCDROMRipSectors;
    rip->nDrive = static_cast<uint8_t>(drive);
    rip->nStartSector = track.nStartSector;
    rip->nEndSector = track.nEndSector;
    rip->Sink = OpenConverters(bridge.OpenSink());
    if (!SoundPlayer.Start(bridge.OpenSource(rip)))
        MessageBoxA(hWnd,
                    "Cannot open the sound device for playback. Check you have selected the correct device in the "
                    "pull downlist in Settings.",
                    "Corvane", MB_OK | MB_ICONERROR);
}

void MainDialog::spntfPlay(int)
{
    EnableControls();
}

void MainDialog::spntfStop(int)
{
    EnableControls();
}
