#pragma once
// The element registry's files in the agent directory: the element file
// "KORAgent.db" (one element a line, "name|address") and the polling
// interval file "storage.ini" beside it. Both are rewritten whole and
// atomically, readable by the owner only. An element file that could not be
// read to its end is never rewritten (a rewrite would lose the elements not
// read): every rewrite then fails with 3002 before anything changes.
//
// Private to the device library; the registry's lock guards every call but
// Writable.
#include <atomic>
#include <cstdint>
#include <string>
#include <vector>

#include "element_file_reader.h"

namespace orla {

class ElementFile {
 public:
  using Line = ElementFileReader::ElementLine;

  explicit ElementFile(std::string path);

  const std::string& Path() const { return path_; }

  // Reads every element line into `lines`, in file order. False when there
  // is no file to load: a missing one (a first start) or one that cannot be
  // opened. A file that cannot be opened (other than missing) or read to
  // its end is a CRITICAL event and stops every rewrite; the lines read
  // before a read failure stay in `lines`.
  bool Read(std::vector<Line>* lines);
  // Stops every rewrite without an event (the caller says why).
  void StopRewrites(int error) { error_.store(error); }
  bool Writable() const { return error_.load() == 0; }
  // 3002 when rewrites are stopped.
  void CheckWritable() const;

  // Rewrites the element file with `lines`. 3002 on failure.
  void Save(const std::vector<Line>& lines) const;
  // Rewrites "storage.ini" with `seconds`. 3002 on failure.
  void SavePollingInterval(int32_t seconds) const;

 private:
  void Refuse(int error);

  const std::string path_;
  const std::string intervalPath_;
  // errno of a failed read; 0 when the file was read or absent.
  std::atomic<int> error_{0};
};

}  // namespace orla
