#pragma once
// Messages the programs show when the machine keeps them from doing what
// the user asked: a folder or settings file that cannot be written, a
// playlist too large to be one. Each says what and where, in the user's
// words.

#include <QByteArray>
#include <QList>
#include <QString>

namespace qpt::notices {

// The application folder cannot be written: songs cannot be added (they
// travel through batch files there). Shown once per run.
void folderNotWritableOnce();
QString folderNotWritableText(const QString& folder);

// The settings cannot be saved; the program runs with the default options.
void settingsNotSaved(const QString& settingsFile);

// A playlist file over the size limit was not added.
void playlistTooLarge(const QString& playlist);

// Files whose names hold a line break were not added (they cannot travel
// in a playlist file); one message names them.
QString lineBreakNamesTitle();
QString lineBreakNamesText(const QList<QByteArray>& paths);
void lineBreakNames(const QList<QByteArray>& paths);

}  // namespace qpt::notices
