#pragma once
// File chores of the Online System and its updater: the folder of the
// start-message marker, the private place of a downloaded program image,
// the atomic replacement of an installed program, and reading the version
// file line by line.

#include <QByteArray>
#include <QString>
#include <QStringList>

namespace qpt::internet {

// The fixed per-machine folder that holds "osplinfo.dll". It is
// /var/lib/quorbel-player-tirk unless QPT_SYSTEM_DIR names another one.
QString GetSystemDir();

// The private per-user folder for downloaded program images (created 0700
// when missing). Empty when no safe folder can be had: the place exists
// but is a link, belongs to someone else or is open to others.
QString privateTempFolder();

// Where a downloaded program image waits to be installed ("osdata.tmp" in
// the private folder); empty when there is no safe folder.
QString imagePath();

// Writes the image byte for byte into imagePath(), replacing an old one
// and never following a link planted at that name. False on any failure.
bool writeImage(const QByteArray& bytes);

// True when imagePath() is a regular file of ours holding at least one byte.
bool imageReady();

// Replaces the program file `target` with the content of `source` in one
// step: a half-written program is never visible under the target's name.
// The new file gets the permission bits of the file it replaces (so an
// executable stays executable; a program that lost its execute bits gets
// them back for whoever may read it), or rwxr-xr-x when there was none. The
// source is opened without following links; an empty source is refused.
// False on any failure, and the
// target is then left as it was.
bool replaceProgram(const QString& target, const QString& source);

// Splits text into lines at CR LF, lone CR and lone LF. A line end at the
// very end does not start another line.
QStringList splitLines(const QString& text);

}  // namespace qpt::internet
