#include "player/shell/move_resize.h"

namespace qpt {

EdgeGrab grabEdges(double x, double y, double width, double height)
{
    EdgeGrab grab;
    // The corner may come with the right edge (then only the width
    // changes), never with the bottom edge.
    if (x + 15 >= width - 65 && y + 15 >= height - 65)
        grab.corner = true;
    if (x + 15 >= width - 15)
        grab.right = true;
    else if (y + 15 >= height - 15)
        grab.bottom = true;
    return grab;
}

SurfaceMove trackSurfaceMove(double x, double y, double width, double height, const EdgeGrab& grab, bool leftHeld)
{
    SurfaceMove result;
    // The pointer: a later match overrides an earlier one.
    if (x + 15 >= width - 15 && !grab.bottom && !grab.corner)
        result.shape = PointerShape::WestEast;
    if (y + 15 >= height - 15 && !grab.corner && !grab.right)
        result.shape = PointerShape::NorthSouth;
    if (x + 15 >= width - 95 && y + 95 >= height && !grab.right && !grab.bottom)
        result.shape = PointerShape::FourWay;

    // The resize: the first match only.
    if (grab.right && x >= 300) {
        result.action = SurfaceMove::Action::SetWidth;
        result.width = x + 15;
    } else if (grab.bottom && y >= 300) {
        result.action = SurfaceMove::Action::SetHeight;
        result.height = y + 15;
    } else if (grab.corner && x >= 300 && y >= 300) {
        result.action = SurfaceMove::Action::SetSize;
        result.width = x + 15;
        result.height = y + 15;
    } else if (leftHeld) {
        result.action = SurfaceMove::Action::StartMove;
    }
    return result;
}

}  // namespace qpt
