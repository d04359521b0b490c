#pragma once
// Moving and resizing the playlist window by its surface, in twips: which
// edge a press grabs, which pointer shape a move shows, and what a move
// with a grabbed edge does.

namespace qpt {

struct ResizeFlags {
    float ResizeRight = 0;
    float ResizeBottom = 0;
    float ResizeCorner = 0;
    bool any() const { return ResizeRight != 0 || ResizeBottom != 0 || ResizeCorner != 0; }
};

// Pointer shapes, numbered as the platform's mouse pointers.
enum class PointerShape { Default = 0, FourWay = 5, NorthSouth = 7, NorthWestSouthEast = 8, WestEast = 9 };

struct TrackResult {
    PointerShape shape = PointerShape::Default;
    enum class Action { None, SetWidth, SetHeight, SetSize, StartMove } action = Action::None;
    double width = 0;
    double height = 0;
};

// A press at (x, y) inside a window of the given size.
void BeginMoveResize(double x, double y, double width, double height, ResizeFlags& flags);
// A move to (x, y); leftHeld tells whether the left button is down.
TrackResult TrackMoveResize(double x, double y, double width, double height, const ResizeFlags& flags,
                            bool leftHeld);
void EndMoveResize(ResizeFlags& flags);

}  // namespace qpt
