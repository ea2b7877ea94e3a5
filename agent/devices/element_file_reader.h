#pragma once
// Reading of the element file "KORAgent.db": one element a line, its name
// and its address separated by "|". This is all the registry's load does
// with the file's bytes before it recognises the devices; the registry keeps
// the decisions about what a failure means.
//
// A line is read whole, cut to kLineLimit characters, and split at "|",
// carriage returns and line feeds the way strtok does (runs of separators
// count as one, there are no empty pieces). A line with fewer than two
// pieces is no element and is skipped; pieces after the second are ignored.
//
// Private to the device library. Not thread-safe: one reader, one thread.
#include <cstddef>
#include <cstdio>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace orla {

class ElementFileReader {
 public:
  // Longest line read; the rest of a longer line is ignored.
  static constexpr size_t kLineLimit = 511;
  // The name and the address of one line.
  using ElementLine = std::pair<std::string, std::string>;

  explicit ElementFileReader(std::string path);
  ~ElementFileReader();
  ElementFileReader(const ElementFileReader&) = delete;
  ElementFileReader& operator=(const ElementFileReader&) = delete;

  // Opens the file for reading: 0, or the error number of the failed open
  // (ENOENT when the file does not exist; RegularFile's own for a symbolic
  // link or anything but a regular file, which is never waited on).
  int Open();
  // Reads the opened file to its end and appends the name and address of
  // every element line to `lines`, in file order. 0 at the end of the file;
  // on a failure to read (also no memory for a line) its errno, EIO when
  // there is none: the lines read before it stay in `lines`. Closes the
  // file either way.
  int ReadLines(std::vector<ElementLine>* lines);

  // The name and address of one line (its line feed may be left on): false
  // when the line holds fewer than two pieces.
  static bool ParseLine(std::string_view line, ElementLine* parsed);

 private:
  std::string path_;
  std::unique_ptr<std::FILE, int (*)(std::FILE*)> file_;
};

}  // namespace orla
