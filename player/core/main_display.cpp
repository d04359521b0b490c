#include "player/core/main_display.h"

namespace qpt {

LabelModel::LabelModel(const QString& text, double left, double top, double width, double height,
                       QObject* parent)
    : QObject(parent), m_text(text), m_left(left), m_top(top), m_width(width), m_height(height)
{
}

void LabelModel::setText(const QString& text)
{
    if (text == m_text)
        return;
    m_text = text;
    emit changed();
}

void LabelModel::setToolTip(const QString& toolTip)
{
    if (toolTip == m_toolTip)
        return;
    m_toolTip = toolTip;
    emit changed();
}

void LabelModel::setAutoSize(bool on)
{
    if (on == m_autoSize)
        return;
    m_autoSize = on;
    emit changed();
}

void LabelModel::setLeft(double twips)
{
    if (twips == m_left)
        return;
    m_left = twips;
    emit changed();
}

void LabelModel::setWidth(double twips)
{
    if (twips == m_width)
        return;
    m_width = twips;
    emit changed();
}

ButtonModel::ButtonModel(const QString& picture, bool enabled, QObject* parent)
    : QObject(parent), m_picture(picture), m_enabled(enabled)
{
}

void ButtonModel::setEnabled(bool enabled)
{
    if (enabled == m_enabled)
        return;
    m_enabled = enabled;
    emit changed();
}

void ButtonModel::setPicture(const QString& picture)
{
    if (picture == m_picture)
        return;
    m_picture = picture;
    emit changed();
}

void ButtonModel::setToolTip(const QString& toolTip)
{
    if (toolTip == m_toolTip)
        return;
    m_toolTip = toolTip;
    emit changed();
}

DotModel::DotModel(double left, double top, QObject* parent) : QObject(parent), m_left(left), m_top(top) {}

void DotModel::setLeft(double twips)
{
    if (twips == m_left)
        return;
    m_left = twips;
    emit changed();
}

void DotModel::setTop(double twips)
{
    if (twips == m_top)
        return;
    m_top = twips;
    emit changed();
}

MainDisplay::MainDisplay(QObject* parent)
    : QObject(parent),
      lblNowPlaying(QStringLiteral("..."), 480, 480, 4005, 195),
      lblTime(QStringLiteral("Quorbel Player Tirk"), 1215, 0, 2520, 390),
      lblBitRate(QStringLiteral("BitRate"), 2040, 2520, 840, 345),
      // Wider than designed, so that "30000 Songs in PlayList" shows whole.
      lblNOofSngInPlaylst(QStringLiteral("0 Songs in PlayList"), 840, 840, 3000, 240),
      lblNowPlayingNO(QStringLiteral("Now Playing Song Number 0"), 1800, 1200, 2310, 240),
      imgPlay(QStringLiteral("imgPlay1"), true),
      imgpause(QStringLiteral("imgPause1"), false),
      imgStop(QStringLiteral("imgStop1"), false),
      imgNext(QStringLiteral("imgNext2"), true),
      imgPrev(QStringLiteral("imgPrev2"), true),
      picOpenPlaylist(QStringLiteral("picOpenPlaylist0"), true),
      picProgressBarDot(design::ProgressDotLeft, design::ProgressDotTop),
      picVolBarDot(design::VolDotLeft, design::VolDotTop)
{
    lblNowPlaying.setToolTip(QStringLiteral("..."));
    imgPlay.setToolTip(QStringLiteral("Play"));
    imgpause.setToolTip(QStringLiteral("Pause"));
    imgStop.setToolTip(QStringLiteral("Stop"));
    imgPrev.setToolTip(QStringLiteral("Previous"));
    imgNext.setToolTip(QStringLiteral("Next"));
    picOpenPlaylist.setToolTip(QStringLiteral("Open PlayList"));
}

void MainDisplay::showPlayingLook()
{
    imgPlay.setPicture(QStringLiteral("imgPlay3"));
    imgPlay.setEnabled(false);
    imgpause.setPicture(QStringLiteral("imgPause1"));
    imgpause.setEnabled(true);
    imgStop.setPicture(QStringLiteral("imgStop1"));
    imgStop.setEnabled(true);
}

void MainDisplay::showPausedLook()
{
    imgPlay.setPicture(QStringLiteral("imgPlay1"));
    imgPlay.setEnabled(true);
    imgpause.setPicture(QStringLiteral("imgPause3"));
    imgpause.setEnabled(false);
}

void MainDisplay::showStoppedLook()
{
    imgPlay.setPicture(QStringLiteral("imgPlay1"));
    imgpause.setPicture(QStringLiteral("imgPause3"));
    imgStop.setPicture(QStringLiteral("imgStop3"));
    imgPlay.setEnabled(true);
    imgpause.setEnabled(false);
    imgStop.setEnabled(false);
}

}  // namespace qpt
