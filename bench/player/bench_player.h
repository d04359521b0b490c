#pragma once
// The set-up the benchmarks of the whole player share: the private world
// and the application, in that order, then the player as a user starts it,
// and a batch file loaded until every row has its Length.

#include "bench/player/bench_world.h"

#include <QApplication>

#include <memory>

namespace qpt {
class MediaComponent;
class PlayerApp;
}  // namespace qpt

namespace qpt::bench {

class BenchApplication {
public:
    // The world first (it points the environment at its folders, which the
    // application reads as it is made), then the QApplication, prepared as
    // the player's main() prepares it.
    BenchApplication(int& argc, char** argv);

    // False, and said on stderr, when the world has no folder.
    bool isValid() const;
    BenchWorld& world() { return m_world; }
    QApplication& application() { return m_application; }

private:
    BenchWorld m_world;
    QApplication m_application;
};

// The player on `media` through its start sequence (a configured one: no
// question, BenchWorld::configurePlayer), the playlist window shown unless
// `hidden`. Says why on stderr and returns nothing when it did not start.
std::unique_ptr<PlayerApp> startPlayer(std::unique_ptr<MediaComponent> media, bool hidden = false);

// One loader tick, then events until the loader is done and every row has
// its Length. The number of rows then.
int loadUntilMeasured(PlayerApp& app);

}  // namespace qpt::bench
