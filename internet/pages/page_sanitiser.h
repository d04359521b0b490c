#pragma once
// A page from the network made safe to lay out. The text layout of the
// browser costs more than linearly in nesting (a few dozen nested tables
// keep it busy for hours, a few thousand overflow its stack) and in the
// length of an unbroken line, and libxml2's HTML parser costs more than
// linearly in the attributes of one tag and, past a few hundred levels, in
// the end tags that close nothing. So a page never reaches either as it
// came:
//
//   - a byte-level pass first cuts every tag longer than maxTagBytes or
//     with more than maxAttributes attributes, and the page after maxTags
//     tags (page_tags.h);
//   - libxml2's push parser then reads it into callbacks (no document tree
//     is built), and stops once the text cap is reached or the elements
//     open at once in the page pass maxParseDepth;
//   - what the callbacks see is written out again as a small subset of
//     HTML within fixed bounds:
//       - only plain formatting elements and attributes survive (no
//         scripts, styles, frames, forms or embedded objects; no style
//         attributes); of an element that does not, the text stays;
//       - nesting, table nesting, the number of elements and the amount of
//         text are capped; past a cap, elements give way to their text,
//         and text past its cap is cut;
//       - a word longer than maxWord characters gets break opportunities
//         (zero-width spaces), so no line is longer than the view can
//         break; a no-break space does not count as a break, and invisible
//         joiners are dropped;
//       - sizes, spans and colours in attributes are bounded numbers and
//         plain colour names;
//       - links and pictures are made absolute; links to http, https and
//         mailto (with only its to, cc, subject and body), pictures only
//         from the page's own site (web_address.h) and at most maxPictures
//         picture elements.
//
// Text that is not HTML becomes paragraphs with its line breaks.
//
// Bytes in, text out: no network, no window (a fuzzer links this alone).
// Any thread may call it.

#include <QByteArray>
#include <QList>
#include <QString>
#include <QUrl>

namespace qpt::internet {

struct PageLimits {
    int maxDepth = 24;        // nested elements written
    int maxTableDepth = 3;    // nested tables written
    int maxElements = 4000;   // elements written
    int maxText = 100000;     // characters
    int maxWord = 64;         // characters without a break opportunity
    int maxPictures = 24;     // picture elements
    // What the parser is given and how far it goes.
    int maxTagBytes = 2048;
    int maxAttributes = 32;   // only a few of an element are ever kept
    int maxTags = 100000;
    int maxParseDepth = 256;  // elements open at once in the page
};

struct SanitisedPage {
    QString html;          // the safe subset, every address in it absolute
    QList<QUrl> pictures;  // the pictures it shows, in page order, no repeats
};

SanitisedPage sanitisePage(const QByteArray& bytes, const QUrl& base, const PageLimits& limits = {});

}  // namespace qpt::internet
