#pragma once
// The content type a file is sent with, chosen by its file name extension.
#include <string>

namespace orla {

class ContentTypes {
 public:
  // "text/html" for "x.html", "application/octet-stream" when unknown. The
  // extension is matched ignoring case.
  static std::string ForPath(const std::string& path);
};

}  // namespace orla
