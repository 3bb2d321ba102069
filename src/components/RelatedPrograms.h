// The maker's other programs, which the install wizard offers to fetch and
// install with Corvane.
#pragma once

// A program of the same maker that the wizard offers, with its controls.
struct RelatedProgram
{
    int nCheckId;
    int nTextId;
    // Its settings key "Software\Talmarin\<szKey>\Settings" and the value
    // whose presence means it is installed.
    const char* szKey;
    const char* szProbeValue;
    // The product's name, which its failure message names.
    const char* szName;
    const char* szSetupName;
    const char* szProgressCaption;
};

constexpr int RELATED_PROGRAM_COUNT = 3;
extern const RelatedProgram RelatedPrograms[RELATED_PROGRAM_COUNT];

// True when the program's probe value can be read.
bool IsRelatedProgramInstalled(const RelatedProgram& program);
