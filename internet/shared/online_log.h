#pragma once
// Where the Online System notes failures that no window reports: what the
// user is shown stays as it is, the reason goes to the log.

#include <QLoggingCategory>

namespace qpt::internet {
Q_DECLARE_LOGGING_CATEGORY(lcOnline)  // windows and markers
Q_DECLARE_LOGGING_CATEGORY(lcUpdate)  // the version check and the updates
Q_DECLARE_LOGGING_CATEGORY(lcMail)    // the bug report's mail
}  // namespace qpt::internet
