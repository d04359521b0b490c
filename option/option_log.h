#pragma once
// Where the Option program notes failures that no window reports (the
// steps whose errors it passes over).

#include <QLoggingCategory>

namespace qpt::option {
Q_DECLARE_LOGGING_CATEGORY(lcOption)
}  // namespace qpt::option
