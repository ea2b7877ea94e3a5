#include "device_type_file.h"

#include <cctype>
#include <cerrno>
#include <fstream>

#include "platform/text/ascii_case.h"

namespace orla {

namespace {


// Reads the next line without its line break ("\n" or "\r\n"), cut to the
// line limit. False at the end of the file.
bool NextLine(std::istream& in, std::string* line) {
  if (!std::getline(in, *line)) return false;
  if (!line->empty() && line->back() == '\r') line->pop_back();
  if (line->size() > DeviceTypeFile::kLineLimit) line->resize(DeviceTypeFile::kLineLimit);
  return true;
}

}  // namespace

int DeviceTypeFile::ReadTypeList(const std::string& path, std::vector<std::string>* names) {
  errno = 0;
  std::ifstream in(path);
  if (!in) return errno != 0 ? errno : ENOENT;
  // A line that cannot be stored (no memory) must not end the list early
  // as if the file ended there: the stream hands the exception on.
  in.exceptions(std::ios::badbit);
  names->clear();
  std::string line;
  try {
    while (NextLine(in, &line)) {
      if (line.empty() || line[0] == ' ') continue;
      names->push_back(line);
    }
  } catch (const std::ios_base::failure&) {
    return EIO;  // the stream failed without an exception of its own
  }
  return 0;
}

int DeviceTypeFile::Read(const std::string& path) {
  errno = 0;
  std::ifstream in(path);
  if (!in) return errno != 0 ? errno : ENOENT;
  in.exceptions(std::ios::badbit);
  values_.clear();
  try {
    ReadValues(in);
  } catch (const std::ios_base::failure&) {
    return EIO;
  }
  return 0;
}

void DeviceTypeFile::ReadValues(std::istream& in) {
  std::string line;
  while (NextLine(in, &line)) {
    if (line.empty() || line[0] == '#') continue;
    const size_t equals = line.find('=');
    if (equals == std::string::npos) continue;
    std::string key = AsciiCase::Lower(line.substr(0, equals));
    std::string value = line.substr(equals + 1);
    if (value.empty()) {
      values_.erase(key);
    } else {
      values_[std::move(key)] = std::move(value);
    }
  }
}

const std::string* DeviceTypeFile::Find(const std::string& key) const {
  const auto it = values_.find(AsciiCase::Lower(key));
  return it == values_.end() ? nullptr : &it->second;
}

}  // namespace orla
