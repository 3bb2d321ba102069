#include "sound/LSoundTime.h"

void LSoundTime::SetSamples(int32_t samples, int32_t rate)
{
    nMilliseconds = rate > 0 ? static_cast<int64_t>(samples) * 1000 / rate : 0;
}
