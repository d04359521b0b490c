#pragma once
// Every program takes its own folder to be the application folder: batch
// files, markers and the companion programs live there.

#include <QString>

namespace qpt {

class AppFolder {
public:
    // The folder holding the running executable, without a trailing slash.
    static QString path();
    // path() joined with a file name.
    static QString file(const QString& name);
    // Tests point the programs at a folder of their own.
    static void overrideForTests(const QString& folder);
};

// Shipped file names of the programs.
namespace programs {
inline constexpr const char* Player = "Quorbel Player Tirk.exe";
inline constexpr const char* Option = "option.dat";
inline constexpr const char* Internet = "internet.dat";
inline constexpr const char* Executer = "Quorbel Tirk Executer.exe";
inline constexpr const char* Updater = "osupdater.dat";
}  // namespace programs

}  // namespace qpt
