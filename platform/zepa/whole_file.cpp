#include "whole_file.h"

#include <fstream>
#include <sstream>

namespace orla {

bool WholeFile::Read(const std::string& path, std::string* text) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return false;
  std::ostringstream out;
  out << in.rdbuf();
  if (in.bad()) return false;
  *text = out.str();
  return true;
}

}  // namespace orla
