#include "online_log.h"

namespace qpt::internet {
Q_LOGGING_CATEGORY(lcOnline, "qpt.internet")
Q_LOGGING_CATEGORY(lcUpdate, "qpt.internet.update")
Q_LOGGING_CATEGORY(lcMail, "qpt.internet.mail")
}  // namespace qpt::internet
