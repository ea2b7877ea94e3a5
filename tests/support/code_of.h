#pragma once
// The error code an action fails with, for tests that check which
// OrlaException a call throws without caring about its message.
#include <functional>

namespace orla::test {

// Runs `action` and returns the code of the OrlaException it throws (the
// exception is released), 0 when it throws none.
int CodeOf(const std::function<void()>& action);

}  // namespace orla::test
