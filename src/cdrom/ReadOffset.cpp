#include "cdrom/ReadOffset.h"

namespace {

// Division that rounds toward minus infinity, for frames before the disc.
int64_t FloorDiv(int64_t a, int64_t b) { return a >= 0 ? a / b : -((-a + b - 1) / b); }

} // namespace

OffsetReadPlan PlanOffsetRead(int32_t startSector, int32_t endSector, int32_t correctionFrames)
{
    const int64_t perSector = CD_FRAMES_PER_SECTOR;
    const int64_t first = int64_t(startSector) * perSector + correctionFrames;
    const int64_t end = int64_t(endSector) * perSector + correctionFrames;
    OffsetReadPlan plan{};
    plan.nFirstSector = int32_t(FloorDiv(first, perSector));
    plan.nEndSector = int32_t(FloorDiv(end + perSector - 1, perSector));
    plan.nSkipFrames = uint32_t(first - int64_t(plan.nFirstSector) * perSector);
    plan.nFrames = uint32_t(end > first ? end - first : 0);
    return plan;
}
