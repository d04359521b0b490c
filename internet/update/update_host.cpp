#include "update_host.h"

#include "common/product.h"

namespace qpt::internet::host {

QString url(const char* file)
{
    return Product::updateUrl() + QStringLiteral("/mainpage/os/Tirk/") + QLatin1String(file);
}

QString imageName(const char* file)
{
    const QString path = QLatin1String(file);
    return path.mid(path.lastIndexOf(QLatin1Char('/')) + 1);
}

}  // namespace qpt::internet::host
