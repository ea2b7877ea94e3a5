#pragma once
// Well-formed UTF-8 (RFC 3629), for texts that go where only UTF-8 may:
// the event log's JSON lines, the metrics page's label values.
#include <cstddef>
#include <string>

namespace orla {

class Utf8 {
 public:
  // The length of the well-formed sequence that starts at `at` (no overlong
  // forms, no surrogates, nothing above U+10FFFF; a zero byte is one of
  // length 1), 0 when the bytes there are not one.
  static size_t SequenceLength(const std::string& text, size_t at);
};

}  // namespace orla
