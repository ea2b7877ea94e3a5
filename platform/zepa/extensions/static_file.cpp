#include "static_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "confined_path.h"
#include "content_types.h"

namespace orla {

namespace {
const char* const kDefaultDocuments[] = {"default.htm", "default.html", "index.html", "index.htm"};
}  // namespace

bool StaticFile::Open(const std::string& path, std::shared_ptr<HttpTransport::FileBody>* out) {
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW);
  if (fd < 0) return false;
  struct stat st;
  if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
    ::close(fd);
    errno = EISDIR;
    return false;
  }
  *out = std::make_shared<HttpTransport::FileBody>(fd, static_cast<uint64_t>(st.st_size));
  return true;
}

StaticFile::Result StaticFile::Resolve(const std::string& directory, const std::string& path,
                                       const std::string& requestTarget) {
  Result result;
  std::string resolved;
  struct stat st;
  std::string wanted = path;
  std::string match;
  if (::stat(path.c_str(), &st) != 0 && ConfinedPath::FindIgnoringCase(directory, path, &match)) wanted = match;
  if (!ConfinedPath::StaysInside(directory, wanted, &resolved)) {
    result.error = 403;
  } else if (::stat(resolved.c_str(), &st) != 0) {
    result.error = 404;
  } else if (S_ISDIR(st.st_mode)) {
    const size_t q = requestTarget.find('?');
    const std::string rawPath = requestTarget.substr(0, q);
    if (rawPath.empty() || rawPath.back() != '/') {
      // Relative links of a folder's page need the trailing "/".
      result.redirect = rawPath + "/" + (q == std::string::npos ? std::string() : requestTarget.substr(q));
    } else {
      result.error = 404;
      for (const char* name : kDefaultDocuments) {
        std::string candidate = resolved + "/" + name;
        std::string real;
        if (::stat(candidate.c_str(), &st) != 0) ConfinedPath::FindIgnoringCase(resolved, candidate, &candidate);
        if (ConfinedPath::StaysInside(directory, candidate, &real) && Open(real, &result.file)) {
          result.contentType = ContentTypes::ForPath(real);
          result.error = 0;
          break;
        }
      }
    }
  } else if (Open(resolved, &result.file)) {
    result.contentType = ContentTypes::ForPath(resolved);
  } else {
    result.error = errno == EACCES ? 403 : 404;
  }
  return result;
}

}  // namespace orla
