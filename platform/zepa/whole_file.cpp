#include "whole_file.h"

#include "platform/text/regular_file.h"

namespace orla {

bool WholeFile::Read(const std::string& path, std::string* text) {
  // A link (a certificate kept elsewhere) is followed; a FIFO or device in
  // the file's place is refused, never waited on.
  return RegularFile::Read(path, text, /*followLink=*/true) == 0;
}

}  // namespace orla
