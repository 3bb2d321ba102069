#include "sound/LSoundTime.h"

void LSoundTime::SetSamples(int32_t samples, int32_t rate)
{
    nMilliseconds = rate > 0 ? (samples / rate) * 1000 + ((samples % rate) * 1000) / rate : 0;
}
