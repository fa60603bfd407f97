#include "window/drag.h"

namespace velmora {

void StartDrag(DragState& drag, float x, float y) {
    drag.dragging = true;
    drag.startX = RoundHalfToEven(x);
    drag.startY = RoundHalfToEven(y);
}

bool ContinueDrag(DragState& drag, std::int16_t primaryButtonQuery) {
    if (!drag.dragging) return false;
    if (primaryButtonQuery == 0) {
        drag.dragging = false;
        return false;
    }
    return true;
}

float DraggedEdge(float edge, float pointer, std::int32_t start) {
    return static_cast<float>(static_cast<double>(edge) + pointer - start);
}

}  // namespace velmora
