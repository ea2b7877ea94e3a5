#include "element_file.h"

#include <cerrno>
#include <cstring>

#include "agent/core/agent_layout.h"
#include "agent/core/error_codes.h"
#include "agent/core/event_log.h"
#include "agent/core/orla_exception.h"
#include "agent/core/polling_interval_file.h"
#include "platform/text/atomic_file.h"
#include "platform/text/regular_file.h"
#include "platform/text/string_printf.h"

namespace orla {

namespace {

// The file `name` in the folder of the element file: the agent directory,
// where the start-up reads its files (just `name` for a bare file name).
std::string BesideElementFile(const std::string& elementFilePath, const char* name) {
  const size_t slash = elementFilePath.rfind('/');
  if (slash == std::string::npos) return name;
  return elementFilePath.substr(0, slash + 1) + name;
}

void ThrowFileSystemError(int error) {
  throw new OrlaException(kErrFileSystem, static_cast<uint32_t>(error), kMsgFileSystem);
}

}  // namespace

ElementFile::ElementFile(std::string path)
    : path_(std::move(path)), intervalPath_(BesideElementFile(path_, AgentLayout::kPollingIntervalFileName)) {}

bool ElementFile::Read(std::vector<Line>* lines) {
  ElementFileReader reader(path_);
  if (const int error = reader.Open(); error != 0) {
    // Only a missing file is a first start. Any other failure would make
    // the next save write the file empty.
    if (error != ENOENT) Refuse(error);
    return false;
  }
  // A read failure (or no memory for a line): the elements read so far are
  // loaded, but the file is no longer theirs to rewrite.
  if (const int error = reader.ReadLines(lines); error != 0) Refuse(error);
  return true;
}

void ElementFile::Refuse(int error) {
  error_.store(error);
  EventLog::Write(EventLog::kCritical, StringPrintf("Unable to read file %s - %s.", path_.c_str(),
                                                    RegularFile::ErrorText(error).c_str()));
}

void ElementFile::CheckWritable() const {
  if (const int error = error_.load(); error != 0) ThrowFileSystemError(error);
}

void ElementFile::Save(const std::vector<Line>& lines) const {
  CheckWritable();
  std::string contents;
  for (const Line& line : lines) contents += StringPrintf("%s|%s\n", line.first.c_str(), line.second.c_str());
  if (const int error = AtomicFile::WritePrivate(path_, contents); error != 0) ThrowFileSystemError(error);
}

void ElementFile::SavePollingInterval(int32_t seconds) const { PollingIntervalFile::Write(intervalPath_, seconds); }

}  // namespace orla
