// Web-Mercator as the map uses it: the scene is the whole world at zoom level 0, 256 units
// square, x growing east from 180° W and y growing south from about 85° N; zoom level z
// shows it 2^z times larger, as slippy-map tiles do.
#pragma once

#include <QPointF>
#include <QRectF>

namespace perspix::mercator {

constexpr double kWorldSize = 256.0;
// Latitudes beyond this are off the square map.
constexpr double kMaxLatitude = 85.0511287798;
constexpr double kEarthCircumference = 40075016.686; // metres at the equator

QPointF sceneFromCoordinate(double latitude, double longitude);
// Latitude in x, longitude in y would be confusing: the pair is (latitude, longitude).
struct Coordinate
{
    double latitude = 0;
    double longitude = 0;
};
Coordinate coordinateFromScene(const QPointF& point);
// Metres per scene unit at a latitude.
double metresPerSceneUnit(double latitude);

} // namespace perspix::mercator
