#pragma once
// "storage.ini" in the agent directory: the polling interval in seconds, one
// number on the first line. The one reader (the start-up) and the one writer
// (the registry, when the configuration page changes the interval) of the
// file, so that what is written is what the next start reads.
#include <cstdint>
#include <string>

namespace orla {

class PollingIntervalFile {
 public:
  static constexpr int kDefault = 300;
  static constexpr int kMin = 60;
  static constexpr int kMax = 3600;

  // Reads `path` into *seconds. A missing or unreadable file, an empty one,
  // or a first line that is no number from kMin to kMax gives kDefault and
  // false, with a WARNING that names the file.
  static bool Read(const std::string& path, int* seconds);
  // The interval a first line gives, read as atoi reads it (leading blanks, a
  // sign, the digits up to the first other character); 0 when it is out of
  // range.
  static int Parse(const std::string& line);
  // Rewrites `path` with `seconds`, atomically and private to the owner;
  // an OrlaException 3002 on failure.
  static void Write(const std::string& path, int32_t seconds);
};

}  // namespace orla
