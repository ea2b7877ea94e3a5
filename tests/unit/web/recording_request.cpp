#include "tests/unit/web/recording_request.h"

#include <cstring>

namespace orla::test {

RecordingRequest::RecordingRequest(const std::string& method, const std::string& path, const std::string& query,
                                   const char* body)
    : method_(method), path_(path), query_(query), translated_("/srv/KORZEPA" + path.substr(path.size() > 4 ? 4 : 0)) {
  ecb_.cbSize = sizeof ecb_;
  ecb_.ConnID = this;
  ecb_.lpszMethod = method_.data();
  ecb_.lpszQueryString = query_.data();
  ecb_.lpszPathInfo = path_.data();
  ecb_.lpszPathTranslated = translated_.data();
  if (body != nullptr) {
    data_.assign(body, body + std::strlen(body) + 1);
    ecb_.lpbData = data_.data();
    ecb_.cbTotalBytes = ecb_.cbAvailable = static_cast<uint32_t>(data_.size() - 1);
  }
  ecb_.WriteClient = &RecordingRequest::Write;
  ecb_.ServerSupportFunction = &RecordingRequest::ServerSupport;
  ecb_.GetServerVariable = &RecordingRequest::Variable;
}

int RecordingRequest::ServerSupport(HCONN conn, uint32_t request, void* buffer, uint32_t* size, uint32_t* dataType) {
  auto* self = static_cast<RecordingRequest*>(conn);
  switch (request) {
    case HSE_REQ_SEND_RESPONSE_HEADER:
      ++self->headerCalls;
      self->statusTextGiven = buffer != nullptr;
      self->statusText = buffer != nullptr ? static_cast<const char*>(buffer) : "";
      self->header.assign(reinterpret_cast<const char*>(dataType), size != nullptr ? *size : 0);
      return 1;
    case REQ_SEND_FILE:
      self->sentFiles.emplace_back(reinterpret_cast<const char*>(dataType), size != nullptr ? *size : 0);
      return 1;
    case REQ_QUERY_RIGHTS:
      ++self->rightsQueries;
      self->rightNames.emplace_back(static_cast<const char*>(buffer));
      if (self->rightsQueryFails) return 0;
      *dataType = self->rights;
      return 1;
    default:
      return 0;
  }
}

int RecordingRequest::Write(HCONN conn, const void* buffer, uint32_t* bytes, uint32_t /*reserved*/) {
  auto* self = static_cast<RecordingRequest*>(conn);
  self->body.append(static_cast<const char*>(buffer), *bytes);
  return 1;
}

int RecordingRequest::Variable(HCONN conn, const char* name, void* buffer, uint32_t* size) {
  auto* self = static_cast<RecordingRequest*>(conn);
  const auto it = self->variables.find(name);
  if (it == self->variables.end()) return 0;
  if (buffer == nullptr || *size < it->second.size() + 1) {
    *size = static_cast<uint32_t>(it->second.size() + 1);
    return 0;
  }
  std::memcpy(buffer, it->second.c_str(), it->second.size() + 1);
  return 1;
}

}  // namespace orla::test
