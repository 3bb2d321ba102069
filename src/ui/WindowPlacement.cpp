#include "ui/WindowPlacement.h"

#include <algorithm>

PlacementRect FitInArea(const PlacementRect& place, const PlacementRect& area)
{
    const long width = std::min(place.right - place.left, area.right - area.left);
    const long height = std::min(place.bottom - place.top, area.bottom - area.top);
    const long left = std::max(area.left, std::min(place.left, area.right - width));
    const long top = std::max(area.top, std::min(place.top, area.bottom - height));
    return {left, top, left + width, top + height};
}
