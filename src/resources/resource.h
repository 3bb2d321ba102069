// Identifiers of the program's resources and of the controls in its templates.
#pragma once

#define IDI_CORVANE 1

// The job window "LProgressDialog".
#define IDC_PROGRESS_LINE0 100
#define IDC_PROGRESS_LINE1 101
#define IDC_PROGRESS_BAR 102
