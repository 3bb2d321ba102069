// The MP3 encoder's options as the settings store keeps them, under the
// section "MP3Encoder", one value per field.
#pragma once

#include "soundfile/Mp3Encoder.h"

// Each value over its default: what the encoder's dialog shows.
Mp3EncoderSettings ReadStoredMp3EncoderSettings();
// The same with the minimum raised where the maximum asks for it: what the
// encoder is given.
Mp3EncoderSettings ReadMp3EncoderSettings();
// Writes all eight values, as they stand.
void WriteMp3EncoderSettings(const Mp3EncoderSettings& settings);
