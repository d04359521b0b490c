#pragma once
// The publisher's side of signed updates: make a release key pair, write
// and sign the manifest for a folder of program images, verify a manifest
// (and the images beside it) as the programs will.
//
//   qpt-release keygen PRIVATE_KEY PUBLIC_KEY
//   qpt-release sign PRIVATE_KEY FOLDER MANIFEST --version FILE=vN.NN ...
//                    [--valid-days N] [--issued YYYY-MM-DDTHH:MM:SSZ]
//   qpt-release verify PUBLIC_KEY MANIFEST [--folder FOLDER]
//
// sign writes MANIFEST and MANIFEST.sig. Every regular file of FOLDER is an
// image and needs its --version; nothing else may lie there. Versions have
// two digits after each dot (v1.01); a manifest is valid for 1 to 90 days
// (30 unless told).

#include <QStringList>

class QTextStream;

namespace qpt::release_tool {

// Runs one command; the exit status of the program (0 on success).
int run(const QStringList& arguments, QTextStream& out, QTextStream& err);

}  // namespace qpt::release_tool
