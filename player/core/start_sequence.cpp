#include "player/core/start_sequence.h"

#include "common/app_folder.h"
#include "common/command_words.h"
#include "common/dialogs.h"
#include "common/failures.h"
#include "common/marker_files.h"
#include "common/notices.h"
#include "common/product.h"
#include "common/program_starter.h"
#include "common/settings_store.h"
#include "player/core/player_context.h"
#include "player/playlist/batch_loader.h"

#include <QFile>
#include <QFileInfo>

namespace qpt {

StartSequence::StartSequence(PlayerContext& context, StartWindows& startWindows, BatchLoader& batchLoader)
    : c(context), windows(startWindows), loader(batchLoader)
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
    const bool folderWritable = MarkerFiles::createNoFollow(AppFolder::file(QStringLiteral("Running.chk")));
    tryStep([&] { windows.createPlaylistWindowHidden(); });
    c.s.PlaylistOpen = QStringLiteral("NO");
    tryStep([&] { windows.sizeMainWindow(design::MainWidth, design::MainHeight); });
    c.s.CurrentIndex = 0;
    const bool settingsWritable = SettingsStore::write(QLatin1String(keys::PlayerVer), windows.mainWindowCaption());
    SettingsStore::write(QLatin1String(keys::AppPath), AppFolder::path());
    if (!folderWritable)
        notices::folderNotWritableOnce();

    // A missing or non-numeric value loads the autosaved list like "1".
    const auto autosave = SettingsStore::readNumber(QLatin1String(keys::AutosavePlayList));
    if (!autosave || *autosave == 1.0) {
        windows.showMainWindow();
        yieldEvents();
        queueSavedPlaylist();
    }

    auto autoFileAss = SettingsStore::readNumber(QLatin1String(keys::AutoFileAss));
    if (!autoFileAss && !settingsWritable) {
        // Options chosen now could not be kept: asking would only start the
        // Option program and this player again, over and over.
        notices::settingsNotSaved(SettingsStore::filePath());
        SettingsStore::useDefaultOptionsForThisRun();
        autoFileAss = SettingsStore::readNumber(QLatin1String(keys::AutoFileAss));
    }
    if (!autoFileAss)
        return firstRunBranch();
    if (*autoFileAss == 1.0) {
        if (!ProgramStarter::start(AppFolder::file(QLatin1String(programs::Option)),
                                   QLatin1String(words::AutoFileAss), WindowStyle::Hidden))
            return settingsWritable ? firstRunBranch() : true;
    }
    return true;
}

void StartSequence::queueSavedPlaylist()
{
    c.display.lblNowPlaying.setText(QStringLiteral("Loading AutoSaved PlayList..."));
    c.timNowPlaying.setInterval(4000);
    const QString saved = AppFolder::file(QStringLiteral("autosavedlist.aut"));
    if (!MarkerFiles::exists(saved))
        return;
    // Songs of a saved playlist that did not fit last time wait under the
    // batch name; they move aside (and load after it) instead of being
    // overwritten.
    const QString batch = AppFolder::file(QLatin1String(BatchLoader::kSavedPlaylistBatch));
    if (QFileInfo(batch).isFile()) {
        for (int n = 1; n < 1000; ++n) {
            const QString aside = AppFolder::file(QLatin1String(BatchLoader::kSavedPlaylistRest) + QString::number(n) + QStringLiteral(".sng"));
            if (!MarkerFiles::exists(aside) && QFile::rename(batch, aside))
                break;
        }
    }
    // Where the folder cannot be written the saved playlist is read where
    // it is.
    if (!MarkerFiles::copyOver(saved, batch))
        loader.queueReadOnly(QFile::encodeName(saved));
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
