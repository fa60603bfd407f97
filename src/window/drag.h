#pragma once
// Dragging the borderless window by its surface. A press starts a drag and
// remembers where the pointer was; each move while the primary button (the
// left one unless the player swapped them) is held moves the window by the
// pointer's displacement from that spot, the left edge first, then the top
// edge.
#include <cstdint>

#include "common/rounding.h"

namespace velmora {

struct DragState {
    bool dragging = false;
    std::int32_t startX = 0;
    std::int32_t startY = 0;
};

// A press on the window's surface, with any button.
void StartDrag(DragState& drag, float x, float y);

// Whether a move should move the window: false (and the drag ends) when no
// drag runs or the primary button's query gave zero. Any non-zero query
// result, the "down now" bit or only the "pressed since last query" bit,
// counts as held.
bool ContinueDrag(DragState& drag, std::int16_t primaryButtonQuery);

// The new position of an edge for a pointer coordinate and the drag's start
// coordinate on the same axis, in single precision.
float DraggedEdge(float edge, float pointer, std::int32_t start);

}  // namespace velmora
