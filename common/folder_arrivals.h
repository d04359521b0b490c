#pragma once
// Files published into a folder by a rename, as they arrive. A writer that
// renames a finished file into place (the executer, the media controls)
// needs no poll to be noticed: the folder reports the name at once.
//
// Only renames count. A file that is created and then written in place may
// be half written when it is first seen, so such files are left to whoever
// polls the folder. Where the platform cannot watch a folder (or the watch
// cannot be set up), nothing is reported and polling alone finds the files.

#include <QObject>
#include <QString>

class QSocketNotifier;

namespace qpt {

class FolderArrivals : public QObject {
    Q_OBJECT
public:
    explicit FolderArrivals(const QString& folder, QObject* parent = nullptr);
    ~FolderArrivals() override;

    // The watch is in place.
    bool isWatching() const { return m_fd >= 0; }

signals:
    // A file was renamed into the folder under this name.
    void arrived(const QString& name);

private:
    void readEvents();

    int m_fd = -1;
    QSocketNotifier* m_notifier = nullptr;
};

}  // namespace qpt
