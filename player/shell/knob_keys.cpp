#include "player/shell/knob_keys.h"

#include <QtGlobal>
#include <QtNumeric>

namespace qpt {

namespace {

// How far a key moves a knob whose value runs upward to the right and to
// the top; nullopt for a key that is not a knob's. Home and End give the
// direction alone (an unbounded move).
std::optional<double> knobMove(QKeyCombination keys, KnobStep step)
{
    if (keys.keyboardModifiers() != Qt::NoModifier)
        return std::nullopt;
    switch (keys.key()) {
    case Qt::Key_Right:
    case Qt::Key_Up:
        return step.step;
    case Qt::Key_Left:
    case Qt::Key_Down:
        return -step.step;
    case Qt::Key_PageUp:
        return step.page;
    case Qt::Key_PageDown:
        return -step.page;
    case Qt::Key_Home:
        return -qInf();
    case Qt::Key_End:
        return qInf();
    default:
        return std::nullopt;
    }
}

}  // namespace

std::optional<CommandRequest> seekKnobKey(QKeyCombination keys, double length)
{
    const auto move = knobMove(keys, kSeekKnobStep);
    if (!move)
        return std::nullopt;
    if (keys.key() == Qt::Key_Home)
        return CommandRequest(Command::SeekTo, 0.0);
    if (keys.key() == Qt::Key_End)
        return CommandRequest(Command::SeekTo, qMax(0.0, length));
    // Past the end it is the next song, before the start the start.
    return CommandRequest(Command::SeekBy, *move);
}

std::optional<CommandRequest> volumeKnobKey(QKeyCombination keys, double volume)
{
    const auto move = knobMove(keys, kVolumeKnobStep);
    if (!move)
        return std::nullopt;
    const double from = qBound(0.0, volume, 100.0);
    return CommandRequest(Command::SetVolume, qBound(0.0, from + *move, 100.0));
}

bool pressesButton(QKeyCombination keys)
{
    if (keys.keyboardModifiers() != Qt::NoModifier && keys.keyboardModifiers() != Qt::KeypadModifier)
        return false;
    return keys.key() == Qt::Key_Space || keys.key() == Qt::Key_Return || keys.key() == Qt::Key_Enter;
}

}  // namespace qpt
