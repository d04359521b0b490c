#include "update_host.h"

#include "common/product.h"

namespace qpt::internet::host {

QString url(const char* file)
{
    return Product::updateUrl() + QStringLiteral("/mainpage/os/Tirk/") + QLatin1String(file);
}

}  // namespace qpt::internet::host
