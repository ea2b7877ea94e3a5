#pragma once
// Whole files as text, for tests that write their input files and read back
// what the code under test wrote.
#include <string>

namespace orla::test {

// The bytes of the file at `path`; "" when it cannot be read.
std::string ReadFile(const std::string& path);
// The same without the line ends it closes with (a one-line file such as a
// password file).
std::string ReadLine(const std::string& path);
// Replaces the file at `path` with `contents`; a file that cannot be written
// fails the test.
void WriteFile(const std::string& path, const std::string& contents);

}  // namespace orla::test
