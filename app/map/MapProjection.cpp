// Web-Mercator projection (see MapProjection.h).
#include "app/map/MapProjection.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace perspix::mercator {

QPointF sceneFromCoordinate(double latitude, double longitude)
{
    const double lat = std::clamp(latitude, -kMaxLatitude, kMaxLatitude) * std::numbers::pi / 180;
    const double x = (std::clamp(longitude, -180.0, 180.0) + 180.0) / 360.0 * kWorldSize;
    const double y =
        (1.0 - std::log(std::tan(lat) + 1.0 / std::cos(lat)) / std::numbers::pi) / 2.0 * kWorldSize;
    return {x, y};
}

Coordinate coordinateFromScene(const QPointF& point)
{
    const double longitude = point.x() / kWorldSize * 360.0 - 180.0;
    const double n = std::numbers::pi * (1.0 - 2.0 * point.y() / kWorldSize);
    const double latitude = std::atan(std::sinh(n)) * 180.0 / std::numbers::pi;
    return {latitude, longitude};
}

double metresPerSceneUnit(double latitude)
{
    return kEarthCircumference * std::cos(latitude * std::numbers::pi / 180) / kWorldSize;
}

} // namespace perspix::mercator
