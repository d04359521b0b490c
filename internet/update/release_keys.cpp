#include "release_keys.h"

#include "release_crypto.h"

#include "internet/update/release_key.h"  // generated from internet/update/release_key.pub

#include "common/product.h"

#include <QDebug>

namespace qpt::internet::release {

QByteArray builtInKey()
{
    // The build refuses a key file that is not a one-line key; should one
    // still not read as a key, no key is built in (nothing verifies by it).
    return parsePublicKeyText(QByteArrayView(kBuiltInReleaseKey)).value_or(QByteArray());
}

QList<QByteArray> trustedKeys()
{
    QList<QByteArray> keys;
    if (const QByteArray builtIn = builtInKey(); !builtIn.isEmpty())
        keys << builtIn;
    for (const QString& text : Product::releaseKeys()) {
        if (const auto key = parsePublicKeyText(text.toLatin1()))
            keys << *key;
        else
            qWarning() << "product.ini: not a release key:" << text;
    }
    return keys;
}

}  // namespace qpt::internet::release
