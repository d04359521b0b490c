#pragma once
// The byte-level pass over a page before any parser sees it: libxml2's
// HTML parser compares every attribute of a tag with all the earlier ones
// (a tag of 40,000 attributes takes it seconds, one of a few megabytes
// minutes), and keeps every open element, so the page it is given has
// bounded tags and a bounded number of them.

#include <QByteArray>

namespace qpt::internet {

// The page with every tag cut after `maxTagBytes` bytes or `maxAttributes`
// attributes (a quoted value cut short is closed, and the tag ends there),
// and nothing after its `maxTags`-th tag. Comments and the content of
// scripts and styles pass as they are (they are dropped later). Text,
// entities and everything else pass byte for byte.
QByteArray boundTags(const QByteArray& page, int maxTagBytes, int maxAttributes, int maxTags);

}  // namespace qpt::internet
