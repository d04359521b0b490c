#pragma once
// The release keys a manifest may be signed with: the product's own key,
// built into every program from internet/release_key.pub, and any further
// keys that product.ini in the application folder names (ReleaseKeys).

#include <QByteArray>
#include <QList>

namespace qpt::internet::release {

// The built-in key first; keys of product.ini that are not one-line keys
// are passed over (and logged).
QList<QByteArray> trustedKeys();

// The key built into the programs (32 raw bytes; empty should it not be one).
QByteArray builtInKey();

}  // namespace qpt::internet::release
