#pragma once
// A private world for one benchmark run of the player, like a user's but in
// a temporary folder: application folder, settings store (filled in so that
// no first-run question appears), lock folder. Also the song files the
// benchmarks load, the clocks they read and the figures they print.

#include <QString>
#include <QStringList>
#include <QTemporaryDir>

#include <QByteArray>

#include <cstdint>
#include <optional>
#include <vector>

namespace qpt::bench {

// How the song files are made from the test audio.
enum class CopyKind { Copy, HardLink };

class BenchWorld {
public:
    // Points the environment (settings store, lock folder, dialog log,
    // offscreen platform unless one is chosen) at a new temporary folder.
    // Call before the QApplication is created.
    BenchWorld();
    ~BenchWorld();

    bool isValid() const { return m_root.isValid(); }
    QString root() const { return m_root.path(); }
    QString appDir() const { return root() + QStringLiteral("/app"); }
    QString musicDir() const { return root() + QStringLiteral("/Music"); }
    QString dialogLog() const { return root() + QStringLiteral("/dialogs.jsonl"); }

    // After the QApplication exists: the application folder override and
    // the options of a configured player (no association refresh, no
    // autosave, no fades).
    void configurePlayer() const;

    // After the QApplication exists: configurePlayer(), then `count` song
    // files made of the test audio in `testDataDir` (see songSources and
    // makeSongs). Prints why and returns nothing when they cannot be made;
    // `sources` receives the files they were made of.
    QStringList prepareSongs(const QString& testDataDir, int count, CopyKind kind, QStringList* sources = nullptr) const;

    // Writes a batch file into the application folder, one line per path,
    // CR LF line ends.
    bool writeBatchFile(const QString& name, const QStringList& paths) const;

private:
    QTemporaryDir m_root;
};

// The test audio the songs are made of, in the mix the benchmarks load:
// every format the player plays, MP3 in half of the songs and half of the
// MP3s VBR without a header. Paths are absolute; the MP1 file is written
// into `scratchDir` (the generated test data has none).
QStringList songSources(const QString& testDataDir, const QString& scratchDir, QString* error);

// Makes `count` distinct song files below `folder` in a music-library
// layout (artist/album/track), cycling through the sources; returns their
// paths in order, empty on failure.
QStringList makeSongs(const QStringList& sources, int count, const QString& folder, CopyKind kind,
                      QString* error);

// The paths of a list file, one a line (blank lines passed over); says on
// stderr and returns nothing when the list cannot be read.
std::optional<std::vector<QByteArray>> readPathList(const char* listFile);

// Reads up to `limit` bytes of every file (all of it for a negative limit);
// false when a file cannot be opened. The I/O floor the benchmarks compare
// with is this with a limit of 64 KiB: open, read what a length probe
// reads first, close.
bool readFiles(const std::vector<QByteArray>& paths, long limit);

// Process CPU time (user + system, all threads) in seconds.
double processCpuSeconds();
// Monotonic wall clock in seconds.
double wallSeconds();
// A field of /proc/self/status in kB ("VmRSS", "VmHWM"); -1 when missing.
std::int64_t statusKb(const char* field);
// The same of another file of that shape ("/proc/meminfo").
std::int64_t statusKbOf(const char* file, const char* field);

// One figure as "name value" on standard output, for the run script.
void figure(const char* name, double value);
void figure(const char* name, std::int64_t value);

}  // namespace qpt::bench
