#pragma once
// printf-style formatting into a std::string. The system's message texts are
// printf formats; formatting them through this one checked helper keeps each
// literal in the code exactly as the system writes it, with no fixed buffer.
#include <cstdarg>
#include <string>

namespace orla {

std::string StringPrintf(const char* format, ...) __attribute__((format(printf, 1, 2)));
std::string StringPrintfV(const char* format, va_list args) __attribute__((format(printf, 1, 0)));

}  // namespace orla
