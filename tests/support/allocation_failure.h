#pragma once
// Makes one allocation of the calling thread fail: the program's operator
// new is replaced (link this into the test program) by one that throws
// std::bad_alloc when the thread's countdown reaches zero. Other threads
// allocate as usual. For sweeping every allocation of an operation:
//
//   for (int n = 1;; ++n) {
//     test::FailNthAllocation(n);
//     ... run the operation ...
//     if (!test::AllocationFailed()) break;   // it ran past the n-th
//   }
namespace orla::test {

// The `n`-th allocation from now on this thread fails (n >= 1); 0 disarms.
void FailNthAllocation(int n);
// Whether the armed failure has happened; disarms it either way.
bool AllocationFailed();

}  // namespace orla::test
