#pragma once
// Access to the skin pictures (SVG files under :/skin/), rendered at the
// size a control has.

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
    // Paints the picture into the rectangle.
    static void paint(QPainter& painter, const QString& name, const QRectF& target);
    static bool exists(const QString& name);
};

}  // namespace qpt
