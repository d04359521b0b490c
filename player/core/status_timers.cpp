#include "player/core/status_timers.h"

#include "common/app_folder.h"
#include "common/failures.h"
#include "common/marker_files.h"
#include "player/core/media/media_component.h"
#include "player/core/player_context.h"
#include "player/core/song_supervision.h"
#include "player/core/time_format.h"

#include <cmath>

namespace qpt {

namespace {

// A media time in whole seconds as a 16-bit number; beyond it is a failure.
qint16 wholeSeconds(double seconds)
{
    const double floored = std::floor(seconds);
    if (!std::isfinite(floored) || floored > 32767 || floored < -32768)
        throw RuntimeFailure("overflow");
    return qint16(floored);
}

const QString kIdleTime = QStringLiteral("Quorbel Player Tirk");

}  // namespace

StatusTimers::StatusTimers(PlayerContext& context, SongSupervision& songSupervision)
    : c(context), supervision(songSupervision)
{
}

void StatusTimers::timDivStuff_Timer()
{
    tryStep([&] {
        c.display.lblNOofSngInPlaylst.setText(QString::number(c.playlist.lstPlayList.count())
                                              + QStringLiteral(" Songs in PlayList"));
    });
    if (c.s.RunLookPending == QLatin1String("RUN")) {
        c.display.showPlayingLook();
        c.s.RunLookPending.clear();
    }
    const QString closeRequest = AppFolder::path() + QStringLiteral("/shutdown.os");
    if (MarkerFiles::exists(closeRequest)) {
        MarkerFiles::remove(closeRequest);
        if (onCloseRequest)
            onCloseRequest();
        return;
    }
    const int number = c.s.CurrentIndex == -1 ? 0 : c.s.CurrentIndex;
    c.display.lblNowPlayingNO.setText(QStringLiteral("Now Playing Song Number ") + QString::number(number));
    supervision.run();
}

void StatusTimers::showTimes()
{
    qint16 p = wholeSeconds(c.media.currentPosition());
    qint16 d = wholeSeconds(c.media.duration());
    if (c.s.PlayerState == QLatin1String("STOPPED")) {
        c.display.lblTime.setText(kIdleTime);
        return;
    }
    if (p == -1) {
        c.display.lblTime.setText(kIdleTime);
        c.display.lblBitRate.setText(QString());
        return;
    }
    if (c.s.TimeMode == QLatin1String("B")) {
        c.display.lblTime.setText(QLatin1Char('-') + FormatTime(qint16(d - p)) + QStringLiteral(" / ") + FormatTime(d));
        p = wholeSeconds(c.media.currentPosition());
        d = wholeSeconds(c.media.duration());
    } else {
        c.display.lblTime.setText(FormatTime(p) + QStringLiteral(" / ") + FormatTime(d));
    }
    if (d == 0)
        throw RuntimeFailure("division by zero");
    const float fraction = float(p) / float(d);
    const double travel = design::ProgressBarWidth - 10 - design::DotSize;
    const double x = std::floor(travel * double(fraction));
    if (!c.s.SeekDragging)
        c.display.picProgressBarDot.setLeft(x + design::ProgressBarLeft + 3);
}

void StatusTimers::timProgressBarUpdate_Timer()
{
    tryStep([&] { showTimes(); });
    MarkerFiles::createNoFollow(AppFolder::file(QStringLiteral("Running.chk")));
}

void StatusTimers::toggleTimeMode()
{
    c.s.TimeMode = c.s.TimeMode == QLatin1String("B") ? QString() : QStringLiteral("B");
}

}  // namespace qpt
