#include "tests/support/allocation_failure.h"

#include <dlfcn.h>

#include <cstdlib>
#include <new>

namespace orla::test {

namespace {

thread_local int t_countdown = 0;
thread_local bool t_failed = false;

using NewFunction = void* (*)(std::size_t);

// The allocation function this one stands in front of (the C++ library's,
// or a sanitizer's), so that every delete still matches its new.
NewFunction Next(const char* mangledName) {
  return reinterpret_cast<NewFunction>(::dlsym(RTLD_NEXT, mangledName));
}

void* Allocate(std::size_t size, bool array) {
  if (t_countdown > 0 && --t_countdown == 0) {
    t_failed = true;
    throw std::bad_alloc();
  }
  static const NewFunction single = Next("_Znwm");
  static const NewFunction many = Next("_Znam");
  return array ? many(size) : single(size);
}

}  // namespace

void FailNthAllocation(int n) {
  t_countdown = n;
  t_failed = false;
}

bool AllocationFailed() {
  const bool failed = t_failed;
  t_countdown = 0;
  t_failed = false;
  return failed;
}

}  // namespace orla::test

// Replacements of the program's two plain allocation functions; delete and
// the other forms stay the library's.
void* operator new(std::size_t size) { return orla::test::Allocate(size, false); }
void* operator new[](std::size_t size) { return orla::test::Allocate(size, true); }
