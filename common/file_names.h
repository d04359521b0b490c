#pragma once
// The names of the files through which the programs signal each other and
// hand songs over, in one place. They are part of what the programs agree
// on: never change one without the others.

namespace qpt::files {

// Markers in the application folder.
inline constexpr const char* Running = "Running.chk";           // a player runs
inline constexpr const char* Shutdown = "shutdown.os";          // the player is asked to close
inline constexpr const char* ActiveOption = "activeoption.inf"; // an Option dialog is open
inline constexpr const char* VersionCopy = "inet-version.tmp";  // the Online System's copy of the version file
inline constexpr const char* LoadingPage = "loading.ifo";       // shown while the Online System loads

// The saved playlist and the batch files the loader reads.
inline constexpr const char* SavedPlaylist = "autosavedlist.aut";
inline constexpr const char* SavedPlaylistBatch = "autosavedlist.sng";
inline constexpr const char* SavedPlaylistRest = "autosavedlist-rest";  // + number + ".sng"
inline constexpr const char* BatchPattern = "*.sng";
inline constexpr const char* OpeningBatch = "opening.sng";
inline constexpr const char* PlaylistBatch = "playlist.sng";
inline constexpr const char* SortedTemporary = "sorted.tmp";
inline constexpr const char* SortedBatch = "sorted.sng";
inline constexpr const char* DropCollecting = "dragdrop%1.drg";   // %1: the drop's batch number
inline constexpr const char* DropBatch = "dragdrop%1.sng";
inline constexpr const char* DropPlaylistBatch = "dragdropvyx%1.sng";

// Elsewhere.
inline constexpr const char* ProgramImage = "osdata.tmp";  // in the private folder
inline constexpr const char* ProgramImageManifest = "osdata.manifest";  // beside it: what vouches for it
inline constexpr const char* ProgramImageSignature = "osdata.manifest.sig";
inline constexpr const char* StartMessageMarker = "osplinfo.dll";  // in the system folder

}  // namespace qpt::files
