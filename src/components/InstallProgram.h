// Installing a missing program on demand: its setup is fetched from the
// component servers and run.
#pragma once

#include "jobs/LJobControl.h"

// Downloads the setup `szSetupName` (its file is the name with ".exe") into
// the temporary folder from the first component server, or the second when
// the first fails, runs it hidden, waits up to 120 s for it, and deletes it.
// The result is the download's: how the setup ended does not change it.
ProcessResult ProcessInstallProgram(LJobControl& job, const char* szSetupName);
