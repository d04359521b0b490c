#pragma once
// The files of the update host, below one path on it. The names are what
// the host publishes; never change one without the host.

#include <QString>

namespace qpt::internet::host {

inline constexpr const char* VersionFile = "version.txt";
inline constexpr const char* IndexPage = "index.txt";                  // the player is up to date
inline constexpr const char* NotUpToDatePage = "notuptodate.txt";      // a newer program is offered
inline constexpr const char* BugReportPage = "bugreport.txt";
inline constexpr const char* LoadingBugReportPage = "loadingbugreport.txt";  // pages link here to open the report
inline constexpr const char* PlayerImage = "download/QuorbelPlayerTirk.exe";
inline constexpr const char* OptionImage = "download/option.dat";
inline constexpr const char* OnlineSystemImage = "download/Internet.dat";
// What may be installed, and its signature (see release_manifest.h).
inline constexpr const char* ReleaseManifest = "release.manifest";
inline constexpr const char* ReleaseSignature = "release.manifest.sig";

// The full address of a file of the update host.
QString url(const char* file);
// The name a program image has in the manifest: its file name on the host
// ("download/option.dat" -> "option.dat").
QString imageName(const char* file);

}  // namespace qpt::internet::host
