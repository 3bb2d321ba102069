// The Edit command: the selected track goes to the sound editor through a
// temporary WAV file, which is deleted once the editor is closed; when the
// wait for it was cancelled, the file stays with the open editor until the
// window closes.
#include <windows.h>

#include <cstring>

#include "app/MainDialog.h"
#include "components/SoundEditor.h"
#include "files/LFile.h"
#include "jobs/LProgressDialog.h"

void MainDialog::CmEdit()
{
    const int row = Tracks.SelectedRow();
    // Data tracks hold no audio to edit; the rip command skips them too.
    LCDTrack track;
    int number = 0;
    if (!RowTrack(row, track, number))
        return;
    char trackName[TEXT_BUFFER_SIZE];
    GetTrackName(row, trackName);
    LTessaroJobData edit = {};
    LFile::GetTempFolder(edit.szPath);
    LFile::FilePathCatExt(edit.szPath, trackName, ".wav");

    Reading = ReadRipReading(DriveName(CDDBInfo.iDrive));
    // A failed or cancelled rip has removed its file and told the user why.
    const bool bRipped = RipTrack(row, trackName, edit.szPath, RipFormat::Wav);
    SecureBuffers = nullptr;
    if (!bRipped)
        return;
    RememberTmpWavFile(edit.szPath);
    LProgressJob<LTessaroJobData> job("Run Tessaro", ProcessTessaroRunCommandLine);
    job.pJobData = &edit;
    job.Run(hWnd);
    if (!edit.bEditorOpen)
        DeleteFileA(edit.szPath);
}

void MainDialog::RememberTmpWavFile(const char* path)
{
    for (int i = 0; i < nTmpWavFiles; ++i)
        if (lstrcmpiA(szTmpWavFiles[i], path) == 0)
            return;
    if (nTmpWavFiles == MAX_TMP_WAV_FILES)
    {
        std::memmove(szTmpWavFiles[0], szTmpWavFiles[1], sizeof(szTmpWavFiles[0]) * (MAX_TMP_WAV_FILES - 1));
        --nTmpWavFiles;
    }
    CopyText(szTmpWavFiles[nTmpWavFiles++], path);
}

void MainDialog::CmDeleteTmpWavFiles()
{
    int nKept = 0;
    for (int i = 0; i < nTmpWavFiles; ++i)
    {
        if (DeleteFileA(szTmpWavFiles[i]) || GetFileAttributesA(szTmpWavFiles[i]) == INVALID_FILE_ATTRIBUTES)
            continue;
        if (nKept != i)
            CopyText(szTmpWavFiles[nKept], szTmpWavFiles[i]);
        ++nKept;
    }
    nTmpWavFiles = nKept;
}
