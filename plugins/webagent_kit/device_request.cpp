#include "plugins/webagent_kit/device_request.h"

#include <cctype>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "agent/snmp/snmp_session.h"
#include "platform/text/ascii_case.h"
#include "platform/text/url_decoding.h"

namespace orla {

namespace {

// A decimal number from a header value; false for anything else.
bool ParseNumber(const std::string& text, int64_t* value) {
  if (text.empty() || text.size() > 9 || text.find_first_not_of("0123456789") != std::string::npos) return false;
  *value = std::strtoll(text.c_str(), nullptr, 10);
  return true;
}

}  // namespace

DeviceRequest::DeviceRequest(EXTENSION_CONTROL_BLOCK* ecb, const char* root) {
  const std::string path = ecb->lpszPathInfo != nullptr ? ecb->lpszPathInfo : "";
  if (AsciiCase::StartsWith(path, root)) {
    page_ = path.substr(std::strlen(root));
  }
  post_ = ecb->lpszMethod != nullptr && std::strcmp(ecb->lpszMethod, "POST") == 0;
  if (ecb->lpbData != nullptr) data_.assign(reinterpret_cast<const char*>(ecb->lpbData), ecb->cbAvailable);
  machine_ = Variable(ecb, "HTTP_VESTRA_MACHINE");
  community_ = Variable(ecb, "HTTP_VESTRA_COMMUNITY");
  setCommunity_ = Variable(ecb, "HTTP_VESTRA_SETCOMMUNITY");
  device_ = Variable(ecb, "HTTP_VESTRA_DEVICE");
  mayChange_ = Variable(ecb, "HTTP_VESTRA_MAYCHANGE") == "yes";
  Bound(Variable(ecb, "HTTP_VESTRA_TIMEOUT"), Variable(ecb, "HTTP_VESTRA_RETRIES"), &timeout_, &retries_);
  remote_ = Variable(ecb, "REMOTE_ADDR");
  local_ = Variable(ecb, "LOCAL_ADDR");
}

bool DeviceRequest::FromThisHost() const {
  if (remote_.rfind("127.", 0) == 0 || remote_ == "::1" || remote_.rfind("::ffff:127.", 0) == 0) return true;
  // A server bound to one address is called on it, from it.
  return !remote_.empty() && remote_ == local_;
}

std::string DeviceRequest::Variable(EXTENSION_CONTROL_BLOCK* ecb, const char* name) {
  if (ecb->GetServerVariable == nullptr) return std::string();
  uint32_t size = 0;
  ecb->GetServerVariable(ecb->ConnID, name, nullptr, &size);
  if (size == 0 || size > 65536) return std::string();
  std::vector<char> buffer(size);
  if (ecb->GetServerVariable(ecb->ConnID, name, buffer.data(), &size) != 1) return std::string();
  return std::string(buffer.data(), strnlen(buffer.data(), buffer.size()));
}

void DeviceRequest::Bound(const std::string& timeoutText, const std::string& retriesText, int32_t* timeout,
                          int32_t* retries) {
  int64_t t = kDefaultTimeout;
  int64_t r = kDefaultRetries;
  if (!ParseNumber(timeoutText, &t)) t = kDefaultTimeout;
  if (!ParseNumber(retriesText, &r)) r = kDefaultRetries;
  if (t < kMinTimeout) t = kMinTimeout;
  if (t > kMaxTimeout) t = kMaxTimeout;
  if (r > kMaxRetries) r = kMaxRetries;
  while (r > 0 && t * (r + 1) > kMaxWait) --r;
  *timeout = static_cast<int32_t>(t);
  *retries = static_cast<int32_t>(r);
}

std::optional<std::string> DeviceRequest::Field(const std::string& name) const {
  size_t pos = 0;
  while (pos <= data_.size()) {
    size_t end = data_.find('&', pos);
    if (end == std::string::npos) end = data_.size();
    const std::string pair = data_.substr(pos, end - pos);
    const size_t equals = pair.find('=');
    if (equals != std::string::npos && pair.compare(0, equals, name) == 0 && equals == name.size()) {
      return UrlDecoding::Decode(pair.substr(equals + 1), UrlDecoding::Plus::kIsSpace);
    }
    pos = end + 1;
  }
  return std::nullopt;
}

std::unique_ptr<SnmpSession> DeviceRequest::OpenSession(const std::string& community) const {
  auto session = std::make_unique<SnmpSession>(machine_.c_str(), community.c_str());
  session->SetTimeoutMilliseconds(timeout_);
  session->SetRetries(retries_);
  return session;
}

bool DeviceRequest::IsPlainHost(const std::string& text) {
  if (text.empty() || text.size() > 255) return false;
  for (unsigned char c : text) {
    if (std::isalnum(c) == 0 && c != '.' && c != '-' && c != ':') return false;
  }
  return true;
}

}  // namespace orla
