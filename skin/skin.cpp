#include "skin.h"

#include <QFile>
#include <QGuiApplication>
#include <QHash>
#include <QPainter>
#include <QSvgRenderer>

namespace qpt {

namespace {

QSvgRenderer* renderer(const QString& name)
{
    static QHash<QString, QSvgRenderer*> cache;
    auto it = cache.find(name);
    if (it != cache.end())
        return it.value();
    auto* svg = new QSvgRenderer(Skin::path(name));
    if (!svg->isValid()) {
        delete svg;
        svg = nullptr;
    }
    cache.insert(name, svg);
    return svg;
}

}  // namespace

QString Skin::path(const QString& name)
{
    return QStringLiteral(":/skin/%1.svg").arg(name);
}

bool Skin::exists(const QString& name)
{
    return QFile::exists(path(name));
}

QPixmap Skin::pixmap(const QString& name, const QSize& size)
{
    QSvgRenderer* svg = renderer(name);
    if (!svg || size.isEmpty())
        return QPixmap();
    const qreal ratio = qApp ? qApp->devicePixelRatio() : 1.0;
    QPixmap result(size * ratio);
    result.setDevicePixelRatio(ratio);
    result.fill(Qt::transparent);
    QPainter painter(&result);
    painter.setRenderHint(QPainter::Antialiasing);
    svg->render(&painter, QRectF(QPointF(0, 0), QSizeF(size)));
    return result;
}

void Skin::paint(QPainter& painter, const QString& name, const QRectF& target)
{
    if (QSvgRenderer* svg = renderer(name))
        svg->render(&painter, target);
}

QIcon Skin::appIcon()
{
    QIcon icon;
    for (int size : {16, 24, 32, 48, 64})
        icon.addPixmap(pixmap(QStringLiteral("app_icon"), QSize(size, size)));
    return icon;
}

void Skin::paintDialogBackground(QPainter& painter, const QRectF& rect)
{
    paint(painter, QStringLiteral("dialog_background"), rect);
}

}  // namespace qpt
