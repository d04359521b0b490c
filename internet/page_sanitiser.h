#pragma once
// A page from the network made safe to lay out. The text layout of the
// browser costs more than linearly in nesting (a few dozen nested tables
// keep it busy for hours, a few thousand overflow its stack) and in the
// length of an unbroken line, so a page never reaches it as it came: it is
// parsed by libxml2's HTML parser (which keeps no more than 256 levels) and
// written out again as a small subset of HTML within fixed bounds:
//
//   - only plain formatting elements and attributes survive (no scripts,
//     styles, frames, forms or embedded objects; no style attributes); of
//     an element that does not, the text stays;
//   - nesting, table nesting, the number of elements and the amount of
//     text are capped; past a cap, elements give way to their text, and
//     text past its cap is cut;
//   - a word longer than kMaxWord characters gets break opportunities
//     (zero-width spaces), so no line is longer than the view can break;
//   - sizes, spans and colours in attributes are bounded numbers and
//     plain colour names;
//   - links and pictures are made absolute; links to http, https and
//     mailto and pictures over http and https only, at most kMaxPictures.
//
// Text that is not HTML becomes paragraphs with its line breaks.
//
// Bytes in, text out: no network, no window (a fuzzer links this alone).

#include <QByteArray>
#include <QList>
#include <QString>
#include <QUrl>

namespace qpt::internet {

struct PageLimits {
    int maxDepth = 24;        // nested elements
    int maxTableDepth = 3;    // nested tables
    int maxElements = 4000;
    int maxText = 100000;     // characters
    int maxWord = 64;         // characters without a break opportunity
    int maxPictures = 24;
};

struct SanitisedPage {
    QString html;          // the safe subset, every address in it absolute
    QList<QUrl> pictures;  // the pictures it shows, in page order, no repeats
};

SanitisedPage sanitisePage(const QByteArray& bytes, const QUrl& base, const PageLimits& limits = {});

}  // namespace qpt::internet
