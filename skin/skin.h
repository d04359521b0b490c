#pragma once
// Access to the skin pictures (SVG files under :/skin/), rendered at the
// size a control has, and the pictures every program draws the same way:
// its icon and the background of its dialogs.

#include <QIcon>
#include <QPixmap>
#include <QString>

class QPainter;
class QRectF;

namespace qpt {

class Skin {
public:
    // ":/skin/<name>.svg"
    static QString path(const QString& name);
    // The picture rendered to a pixmap of the given size (device pixels
    // follow the screen's ratio). A missing picture gives a null pixmap.
    static QPixmap pixmap(const QString& name, const QSize& size);
    // Paints the picture into the rectangle; a missing picture paints nothing.
    static void paint(QPainter& painter, const QString& name, const QRectF& target);
    static bool exists(const QString& name);

    // The window and tray icon of the three programs, at the sizes a
    // desktop asks for.
    static QIcon appIcon();
    // The background of every dialog-like window: a graphite frame around
    // a light panel, stretched over the rectangle.
    static void paintDialogBackground(QPainter& painter, const QRectF& rect);
};

}  // namespace qpt
