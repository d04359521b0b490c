#pragma once
// The updater of the Online System. The Online System places the new
// "internet.dat" image in its private folder, starts the updater and ends;
// the updater waits for that end, replaces "internet.dat" in its own folder
// with the image in one step, removes the image and starts the new Online
// System. An image that does not start like a program (ELF or "#!") is
// never put in place.

#include <QString>

namespace qpt::updater {

struct Outcome {
    bool waitedOut = false;  // the Online System was still running at the limit
    bool replaced = false;
    bool started = false;
};

class Updater {
public:
    explicit Updater(const QString& folder) : m_folder(folder) {}

    // How long to wait for the Online System to end, and how often to look.
    void setWaitLimit(int ms) { m_waitLimitMs = ms; }
    void setPollInterval(int ms) { m_pollMs = ms; }

    Outcome run();

private:
    bool onlineSystemRuns() const;

    QString m_folder;
    int m_waitLimitMs = 120000;
    int m_pollMs = 100;
};

}  // namespace qpt::updater
