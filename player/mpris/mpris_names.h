#pragma once
// The names under which the player offers itself to the desktop's media
// controls (media keys, sound menu, playerctl) over the session bus.

namespace qpt::mpris {

inline constexpr const char* ServiceName = "org.mpris.MediaPlayer2.quorbel_player_tirk";
// Appended with the process id when another player holds the name.
inline constexpr const char* InstanceSuffix = ".instance";
inline constexpr const char* ObjectPath = "/org/mpris/MediaPlayer2";
inline constexpr const char* RootInterface = "org.mpris.MediaPlayer2";
inline constexpr const char* PlayerInterface = "org.mpris.MediaPlayer2.Player";
inline constexpr const char* PropertiesInterface = "org.freedesktop.DBus.Properties";

inline constexpr const char* Identity = "Quorbel Player Tirk";
// The menu entry tools/executer/install-desktop-entry writes, without
// ".desktop".
inline constexpr const char* DesktopEntry = "quorbel-player-tirk";

// A playlist entry's track id is this prefix and the entry's id; paths
// under /org/mpris are reserved for the protocol's own meanings.
inline constexpr const char* TrackPathPrefix = "/org/quorbel/PlayerTirk/track/";

}  // namespace qpt::mpris
