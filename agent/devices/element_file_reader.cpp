#include "element_file_reader.h"

#include <fcntl.h>
#include <sys/types.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>

#include "platform/text/regular_file.h"

namespace orla {

namespace {

constexpr std::string_view kSeparators("|\r\n");

// The next piece of `line` from `*start` on, strtok style: separators before
// it are skipped, `*start` ends past the separator after it. Empty at the end
// of the line.
std::string_view NextPiece(std::string_view line, size_t* start) {
  const size_t begin = line.find_first_not_of(kSeparators, *start);
  if (begin == std::string_view::npos) {
    *start = line.size();
    return {};
  }
  const size_t end = line.find_first_of(kSeparators, begin);
  const size_t stop = end == std::string_view::npos ? line.size() : end;
  *start = stop;
  return line.substr(begin, stop - begin);
}

}  // namespace

ElementFileReader::ElementFileReader(std::string path) : path_(std::move(path)), file_(nullptr, &std::fclose) {}

ElementFileReader::~ElementFileReader() = default;

int ElementFileReader::Open() {
  // A link or a FIFO in the file's place is refused, not waited on.
  int fd = -1;
  if (const int err = RegularFile::Open(path_, O_RDONLY, 0, &fd); err != 0) return err;
  file_.reset(::fdopen(fd, "r"));
  if (!file_) {
    const int err = errno;
    ::close(fd);
    return err;
  }
  return 0;
}

int ElementFileReader::ReadLines(std::vector<ElementLine>* lines) {
  if (!file_) return EBADF;
  std::unique_ptr<char, void (*)(void*)> buffer(nullptr, &std::free);
  size_t capacity = 0;
  int result = 0;
  for (;;) {
    char* raw = buffer.release();
    errno = 0;
    const ssize_t length = ::getline(&raw, &capacity, file_.get());
    const int readError = errno;
    buffer.reset(raw);
    if (length < 0) {
      // Anything but the end of the file: a read error, no memory for the
      // line.
      if (!std::feof(file_.get())) result = readError != 0 ? readError : EIO;
      break;
    }
    ElementLine parsed;
    if (ParseLine(std::string_view(buffer.get(), static_cast<size_t>(length)), &parsed)) {
      lines->push_back(std::move(parsed));
    }
  }
  file_.reset();
  return result;
}

bool ElementFileReader::ParseLine(std::string_view line, ElementLine* parsed) {
  if (line.size() > kLineLimit) line = line.substr(0, kLineLimit);
  size_t start = 0;
  const std::string_view name = NextPiece(line, &start);
  const std::string_view address = NextPiece(line, &start);
  // A line without a name and an address cannot be an element.
  if (address.empty()) return false;
  parsed->first.assign(name);
  parsed->second.assign(address);
  return true;
}

}  // namespace orla
