#pragma once
// One request to a device web agent module, as the web server hands it
// over: the page asked for (below the module's root), the method, the posted form fields, and the device to
// manage, which the agent's pass-through names in request header lines:
//
//   VESTRA_MACHINE       the device's TCP/IP address
//   VESTRA_COMMUNITY     the SNMP community for reads
//   VESTRA_SETCOMMUNITY  the SNMP community for writes (empty on a GET)
//   VESTRA_DEVICE        the element's name in the agent
//   VESTRA_TIMEOUT       the SNMP time-out in milliseconds
//   VESTRA_RETRIES       the SNMP retry count
//   VESTRA_MAYCHANGE     "yes" when the signed-in user may change things
//                        (the administrator right); anything else, or no
//                        line, means the pages offer no change
//
// The web server only lets its own client requests carry these lines to an
// extension module (it refuses outside requests for the module's root), so
// they are trusted as the agent's. Time-out and retries are still bounded
// here: the agent's client request gives up after a few seconds of silence,
// and a page must be back before that.
#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "platform/zepa/zepa.h"

namespace orla {

class SnmpSession;

class DeviceRequest {
 public:
  static constexpr int32_t kDefaultTimeout = 2000;  // milliseconds
  static constexpr int32_t kDefaultRetries = 3;
  static constexpr int32_t kMinTimeout = 100;
  static constexpr int32_t kMaxTimeout = 5000;
  static constexpr int32_t kMaxRetries = 5;
  // All tries of one SNMP request together, at most.
  static constexpr int32_t kMaxWait = 8000;

  // `root` is the path the module serves, "/webagent/Fibre/" (matched
  // ignoring case, as the server does).
  DeviceRequest(EXTENSION_CONTROL_BLOCK* ecb, const char* root);

  // The page below the root, "index.html" for "/webagent/Fibre/index.html";
  // empty for the root itself.
  const std::string& Page() const { return page_; }
  bool IsPost() const { return post_; }

  const std::string& Machine() const { return machine_; }
  const std::string& Community() const { return community_; }
  const std::string& SetCommunity() const { return setCommunity_; }
  const std::string& Device() const { return device_; }
  // Whether the pages may offer changes (VESTRA_MAYCHANGE is "yes").
  bool MayChange() const { return mayChange_; }
  // Whether the request came from this host: from a loopback address, as
  // the agent's client requests to "https://localhost:..." do, or from the
  // very address it was sent to, as they do when the server is bound to one
  // address. A second line of defence behind the server's own check: a
  // request from elsewhere is refused outright.
  bool FromThisHost() const;
  int32_t TimeoutMilliseconds() const { return timeout_; }
  int32_t Retries() const { return retries_; }

  // A posted form field, decoded ("+" a space, "%xx" a byte); none when the
  // request posted no such field.
  std::optional<std::string> Field(const std::string& name) const;

  // A session to the request's device with `community`, the request's
  // time-out and retries.
  std::unique_ptr<SnmpSession> OpenSession(const std::string& community) const;

  // Whether a machine text can only be an address or a host name (letters,
  // digits, ".", "-", ":"; 1 to 255 characters).
  static bool IsPlainHost(const std::string& text);
  // The time-out and retries to use for the header values given (absent or
  // malformed values take the defaults), bounded as said above.
  static void Bound(const std::string& timeoutText, const std::string& retriesText, int32_t* timeout,
                    int32_t* retries);

 private:
  static std::string Variable(EXTENSION_CONTROL_BLOCK* ecb, const char* name);

  std::string page_;
  bool post_ = false;
  std::string data_;
  std::string machine_, community_, setCommunity_, device_, remote_, local_;
  bool mayChange_ = false;
  int32_t timeout_ = kDefaultTimeout;
  int32_t retries_ = kDefaultRetries;
};

}  // namespace orla
