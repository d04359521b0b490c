#include "player/shell/start_sequence.h"

#include "common/app_folder.h"
#include "common/command_words.h"
#include "common/dialogs.h"
#include "common/options.h"
#include "common/file_names.h"
#include "common/marker_files.h"
#include "common/notices.h"
#include "common/product.h"
#include "common/program_starter.h"
#include "common/settings_store.h"
#include "player/playlist/batch_loader.h"
#include "player/shell/main_display.h"
#include "player/shell/now_playing_animation.h"


namespace qpt {

StartSequence::StartSequence(StartWindows& windows, BatchLoader& loader, NowPlayingAnimation& animation)
    : m_windows(windows), m_loader(loader), m_animation(animation)
{
}

QString StartSequence::welcomeText()
{
    return QStringLiteral("Welcome To Quorbel Player Tirk\r\n\r\nYou need to make a few options.\r\n"
                          "Press YES if you wanna use Default options.\r\n"
                          "Press NO if you wanna setup your own options.\r\n\r\nENJOY");
}

QString StartSequence::optionNotFoundText()
{
    return QStringLiteral("Option.dat not found... Please Visit ") + Product::website()
         + QStringLiteral(" for the File");
}

bool StartSequence::run()
{
    const bool folderWritable = MarkerFiles::createNoFollow(AppFolder::file(QLatin1String(files::Running)));
    m_windows.createPlaylistWindowHidden();
    m_windows.sizeMainWindow(design::MainWidth, design::MainHeight);
    const bool settingsWritable = SettingsStore::write(QLatin1String(keys::PlayerVer), m_windows.mainWindowCaption());
    SettingsStore::write(QLatin1String(keys::AppPath), AppFolder::path());
    if (!folderWritable)
        notices::folderNotWritableOnce();

    Options options = Options::read();
    if (options.loadsSavedPlaylist()) {
        // The window shows at once; the batch loader takes the list up on
        // its ticks, so nothing here waits for the songs.
        m_windows.showMainWindow();
        queueSavedPlaylist();
    }

    if (options.firstRun() && !settingsWritable) {
        // Options chosen now could not be kept: asking would only start the
        // Option program and this player again, over and over.
        notices::settingsNotSaved(SettingsStore::filePath());
        SettingsStore::useDefaultOptionsForThisRun();
        options = Options::read();
    }
    if (options.firstRun())
        return firstRunBranch();
    if (options.associatesFilesAtStart()
        && !ProgramStarter::start(AppFolder::file(QLatin1String(programs::Option)),
                                  QLatin1String(words::AutoFileAss), WindowStyle::Hidden))
        return settingsWritable ? firstRunBranch() : true;
    return true;
}

void StartSequence::queueSavedPlaylist()
{
    m_animation.arm(Announcement::LoadingSavedPlaylist);
    // The copy to the batch name is made on the playlist-files worker.
    m_loader.queueSavedPlaylist();
}

bool StartSequence::firstRunBranch()
{
    const MsgAnswer answer = Dialogs::message(QStringLiteral("You Only Get This Message Once!!!"), welcomeText(),
                                              MsgIcon::Information, MsgButtons::YesNo);
    const char* word = answer == MsgAnswer::No ? words::FirstTime : words::FirstTimeDefault;
    if (ProgramStarter::start(AppFolder::file(QLatin1String(programs::Option)), QLatin1String(word),
                              WindowStyle::NormalFocus))
        return false;
    Dialogs::message(QStringLiteral("Option Not Found"), optionNotFoundText(), MsgIcon::Information, MsgButtons::Ok);
    return true;
}

}  // namespace qpt
