// qpt-release: keys, manifests and signatures for publishing an update.

#include "release_tool.h"

#include <QCoreApplication>
#include <QTextStream>

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    QTextStream out(stdout);
    QTextStream err(stderr);
    return qpt::release_tool::run(app.arguments().mid(1), out, err);
}
