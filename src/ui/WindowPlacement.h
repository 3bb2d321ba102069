// Where a window is put back: its stored place kept inside an area of the
// screen (a monitor's work area).
#pragma once

struct PlacementRect
{
    long left;
    long top;
    long right;
    long bottom;
};

// `place` no wider or taller than `area`, moved the least that puts it
// inside: a place inside is kept as it is.
PlacementRect FitInArea(const PlacementRect& place, const PlacementRect& area);
