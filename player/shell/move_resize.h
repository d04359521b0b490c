#pragma once
// Moving and resizing the playlist window by its surface, in twips: which
// edges a press grabs, which pointer shape a move shows, and what a move
// with a grabbed edge does.

namespace qpt {

// The edges a press on the surface took hold of.
struct EdgeGrab {
    bool right = false;
    bool bottom = false;
    bool corner = false;
    bool any() const { return right || bottom || corner; }
};

enum class PointerShape { Default, FourWay, NorthSouth, NorthWestSouthEast, WestEast };

struct SurfaceMove {
    PointerShape shape = PointerShape::Default;
    enum class Action { None, SetWidth, SetHeight, SetSize, StartMove } action = Action::None;
    double width = 0;
    double height = 0;
};

// A press at (x, y) inside a window of the given size.
EdgeGrab grabEdges(double x, double y, double width, double height);
// A move to (x, y); leftHeld tells whether the left button is down.
SurfaceMove trackSurfaceMove(double x, double y, double width, double height, const EdgeGrab& grab, bool leftHeld);

}  // namespace qpt
