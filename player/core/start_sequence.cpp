#include "player/core/start_sequence.h"

#include "common/app_folder.h"
#include "common/command_words.h"
#include "common/dialogs.h"
#include "common/failures.h"
#include "common/marker_files.h"
#include "common/product.h"
#include "common/program_starter.h"
#include "common/settings_store.h"
#include "player/core/player_context.h"

#include <QDir>

namespace qpt {

StartSequence::StartSequence(PlayerContext& context, StartWindows& startWindows)
    : c(context), windows(startWindows)
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
    MarkerFiles::createOrTruncate(AppFolder::file(QStringLiteral("Running.chk")));
    tryStep([&] { windows.createPlaylistWindowHidden(); });
    c.s.PlaylistOpen = QStringLiteral("NO");
    tryStep([&] { windows.sizeMainWindow(design::MainWidth, design::MainHeight); });
    c.s.CurrentIndex = 0;
    SettingsStore::write(QLatin1String(keys::PlayerVer), windows.mainWindowCaption());
    SettingsStore::write(QLatin1String(keys::AppPath), AppFolder::path());

    // A missing or non-numeric value loads the autosaved list like "1".
    const auto autosave = SettingsStore::readNumber(QLatin1String(keys::AutosavePlayList));
    if (!autosave || *autosave == 1.0) {
        windows.showMainWindow();
        yieldEvents();
        const bool batchWaiting =
            !QDir(AppFolder::path(), QStringLiteral("*.sng"), QDir::NoSort, QDir::Files).entryList().isEmpty();
        if (!batchWaiting) {
            c.display.lblNowPlaying.setText(QStringLiteral("Loading AutoSaved PlayList..."));
            MarkerFiles::copyOver(AppFolder::file(QStringLiteral("autosavedlist.aut")),
                                  AppFolder::file(QStringLiteral("autosavedlist.sng")));
            c.timNowPlaying.setInterval(4000);
        }
    }

    const auto autoFileAss = SettingsStore::readNumber(QLatin1String(keys::AutoFileAss));
    if (!autoFileAss)
        return firstRunBranch();
    if (*autoFileAss == 1.0) {
        if (!ProgramStarter::start(AppFolder::file(QLatin1String(programs::Option)),
                                   QLatin1String(words::AutoFileAss), WindowStyle::Hidden))
            return firstRunBranch();
    }
    return true;
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
