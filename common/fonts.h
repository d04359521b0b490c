#pragma once
// The skin is designed with "Comic Sans MS" and "Tahoma". Both family names
// are mapped to free look-alikes shipped by the distribution.

namespace qpt {
void installFontSubstitutes();
}
