#include "option_log.h"

namespace qpt::option {
Q_LOGGING_CATEGORY(lcOption, "qpt.option")
}  // namespace qpt::option
