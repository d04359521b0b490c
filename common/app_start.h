#pragma once
// Start-up chores shared by the three programs.

#include "common/program_starter.h"  // ignoreBrokenPipes()

namespace qpt {

// Before the QApplication exists (also ignores broken pipes): on a desktop that offers both Wayland and
// X11 and where the user chose no platform, use X11 so that the skinned
// windows can place themselves and each other.
void choosePlatformBeforeApplication();

// After the QApplication exists: fonts, application name.
void prepareApplication();

}  // namespace qpt
