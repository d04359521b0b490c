#pragma once
// Run-time failures of single steps (an index out of range, a file that
// cannot be read) are thrown as RuntimeFailure. Each handler decides how it
// treats them: skip the failing step and go on, end silently at the first
// failure, or report with a fixed message box.

#include <stdexcept>
#include <utility>

namespace qpt {

struct RuntimeFailure : std::runtime_error {
    using std::runtime_error::runtime_error;
};

// Runs one step; a failure is swallowed. Returns whether the step succeeded.
template <class Step>
bool tryStep(Step&& step)
{
    try {
        std::forward<Step>(step)();
        return true;
    } catch (const std::exception&) {
        return false;
    }
}

}  // namespace qpt
