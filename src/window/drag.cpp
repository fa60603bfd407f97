#include "window/drag.h"

#include <cmath>

namespace velmora {

std::int32_t RoundHalfToEven(double value) {
    const double floor = std::floor(value);
    const double fraction = value - floor;
    double rounded = floor;
    if (fraction > 0.5 || (fraction == 0.5 && std::fmod(floor, 2.0) != 0.0)) rounded += 1.0;
    return static_cast<std::int32_t>(rounded);
}

void StartDrag(DragState& drag, float x, float y) {
    drag.dragging = true;
    drag.startX = RoundHalfToEven(x);
    drag.startY = RoundHalfToEven(y);
}

bool ContinueDrag(DragState& drag, std::int16_t leftButtonQuery) {
    if (!drag.dragging) return false;
    if (leftButtonQuery == 0) {
        drag.dragging = false;
        return false;
    }
    return true;
}

float DraggedEdge(float edge, float pointer, std::int32_t start) {
    return static_cast<float>(static_cast<double>(edge) + pointer - start);
}

}  // namespace velmora
