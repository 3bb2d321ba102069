#include "components/RelatedPrograms.h"

#include <windows.h>

#include "files/TextBuffer.h"
#include "resources/resource.h"
#include "settings/RegistryKeys.h"
#include "settings/SettingsStore.h"

const RelatedProgram RelatedPrograms[RELATED_PROGRAM_COUNT] = {
    {IDC_RELATED_FIRST, IDC_RELATED_FIRST + 1, "Tessaro", "RunEdit", "Tessaro Sound Editor", "tssetup",
     "Installing Tessaro Sound Editor"},
    {IDC_RELATED_FIRST + 2, IDC_RELATED_FIRST + 3, "Brennar", "CopyCD", "Brennar CD Recorder", "brsetup",
     "Installing Brennar CD Recorder"},
    {IDC_RELATED_FIRST + 4, IDC_RELATED_FIRST + 5, "Morvex", "Convert", "Morvex Audio File Converter", "mvsetup",
     "Installing Morvex Audio File Converter"},
};

bool IsRelatedProgramInstalled(const RelatedProgram& program)
{
    char key[TEXT_BUFFER_SIZE];
    FormatText(key, sizeof(key), MAKER_PROGRAM_SETTINGS_FORMAT, program.szKey);
    return RegistryValueExists(HKEY_LOCAL_MACHINE, key, program.szProbeValue);
}
