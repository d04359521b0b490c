#pragma once
// Files chosen in the Open Music dialog become batch files: a chosen
// playlist's lines are appended to "playlist.sng", music files to
// "opening.sng" (always appended: songs chosen a moment ago that the loader
// has not read yet are never lost).

#include "common/native_path.h"
#include "player/core/player_state.h"

#include <QList>
#include <QString>

#include <functional>

namespace qpt {

// Writes the batch files for the chosen paths. Problems are told through
// `report` (a playlist too large, a folder that cannot be written, which
// ends the queueing).
void queueChosenFiles(const QList<NativePath>& chosen,
                      const std::function<void(PlayerError, const QString&)>& report);

}  // namespace qpt
