// The window half's step of every new test world (TestEnv): no box ever
// waits for a person. Unscripted boxes take their first button and are
// recorded, and each world starts with no answers and no records left from
// the one before.
//
// Built as an object library that qpt_add_test links into each window test
// itself: from a static library the linker would leave this file out, as
// nothing calls into it.

#include "common/dialogs.h"
#include "tests/support/test_env.h"

namespace qpt::test {

namespace {

void startWithoutBoxes()
{
    Dialogs::resetForTests();
    Dialogs::scriptAnswers({});
}

[[maybe_unused]] const bool kAdded = (TestEnv::addWorldStep(&startWithoutBoxes), true);

}  // namespace

}  // namespace qpt::test
