#pragma once
// Messages the programs show when the machine keeps them from doing what
// the user asked: a folder or settings file that cannot be written, a
// playlist too large to be one. Each says what and where, in the user's
// words.

#include <QByteArray>
#include <QList>
#include <QString>

#include <functional>

class QObject;

namespace qpt::notices {

// The application folder cannot be written: songs cannot be added (they
// travel through batch files there). Shown once per run.
void folderNotWritableOnce();
QString folderNotWritableText(const QString& folder);

// The settings cannot be saved; the program runs with the default options.
void settingsNotSaved(const QString& settingsFile);

// A playlist file over the size limit was not added.
void playlistTooLarge(const QString& playlist);

// A playlist file could not be written whole; the old one stays as it
// was. `done` hears the box's answer (an exit waits for it).
QString playlistNotSavedTitle();
QString playlistNotSavedText(const QString& file, const QString& cause);
void playlistNotSaved(const QString& file, const QString& cause, QObject* context = nullptr,
                      std::function<void()> done = {});

// Songs over the playlist's cap were not added; said once per load.
QString songsNotAddedText(qint64 songs, int cap);
void songsNotAdded(qint64 songs, int cap);

// Files whose names hold a line break were not added (they cannot travel
// in a playlist file); one message names them.
QString lineBreakNamesTitle();
QString lineBreakNamesText(const QList<QByteArray>& paths);
void lineBreakNames(const QList<QByteArray>& paths);

}  // namespace qpt::notices
