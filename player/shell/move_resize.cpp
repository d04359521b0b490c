#include "player/shell/move_resize.h"

namespace qpt {

void BeginMoveResize(double x, double y, double width, double height, ResizeFlags& flags)
{
    if (x + 15 >= width - 65 && y + 15 >= height - 65)
        flags.ResizeCorner = 1;
    if (x + 15 >= width - 15) {
        flags.ResizeRight = 1;
        return;
    }
    if (y + 15 >= height - 15)
        flags.ResizeBottom = 1;
}

TrackResult TrackMoveResize(double x, double y, double width, double height, const ResizeFlags& flags,
                            bool leftHeld)
{
    TrackResult result;
    // The pointer: a later match overrides an earlier one.
    if (x + 15 >= width - 15 && flags.ResizeBottom == 0 && flags.ResizeCorner == 0)
        result.shape = PointerShape::WestEast;
    if (y + 15 >= height - 15 && flags.ResizeCorner == 0 && flags.ResizeRight == 0)
        result.shape = PointerShape::NorthSouth;
    if (x + 15 >= width - 95 && y + 95 >= height && flags.ResizeRight == 0 && flags.ResizeBottom == 0)
        result.shape = PointerShape::FourWay;

    // The resize: the first match only.
    if (flags.ResizeRight == 1 && x >= 300) {
        result.action = TrackResult::Action::SetWidth;
        result.width = x + 15;
    } else if (flags.ResizeBottom == 1 && y >= 300) {
        result.action = TrackResult::Action::SetHeight;
        result.height = y + 15;
    } else if (flags.ResizeCorner == 1 && x >= 300 && y >= 300) {
        result.action = TrackResult::Action::SetSize;
        result.width = x + 15;
        result.height = y + 15;
    } else if (leftHeld) {
        result.action = TrackResult::Action::StartMove;
    }
    return result;
}

void EndMoveResize(ResizeFlags& flags)
{
    flags = ResizeFlags{};
}

}  // namespace qpt
