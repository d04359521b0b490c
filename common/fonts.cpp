#include "fonts.h"

#include <QFont>
#include <QStringList>

namespace qpt {

void installFontSubstitutes()
{
    QFont::insertSubstitutions(QStringLiteral("Comic Sans MS"),
                               QStringList{QStringLiteral("Comic Neue"), QStringLiteral("DejaVu Sans")});
    QFont::insertSubstitutions(QStringLiteral("Tahoma"),
                               QStringList{QStringLiteral("DejaVu Sans"), QStringLiteral("Liberation Sans")});
}

}  // namespace qpt
