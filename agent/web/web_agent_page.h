#pragma once
// The device web agent pass-through. Every request under "/KOR/WebAgent/"
// is forwarded, as a client request of the web server library, to the
// device web agent at "https://<listen address>:<HTTPS port>/webagent/Fibre/
// <rest of the path>" (the address the server listens on; "localhost" when
// it listens on every address), or, for a rest that starts with "Library/",
// to the tape library module at ".../weblibrary/<rest after Library/>",
// with six request header lines that name the device and its SNMP
// communities:
//
//   VESTRA_MACHINE, VESTRA_COMMUNITY, VESTRA_SETCOMMUNITY, VESTRA_DEVICE,
//   VESTRA_TIMEOUT (2000), VESTRA_RETRIES (3)
//
// and a seventh that tells what the signed-in user may do, so a device page
// offers its changes (fields, Save buttons) only to a user whose POST this
// pass-through would forward: VESTRA_MAYCHANGE "yes" for an administrator,
// "no" for anyone else.
//
// The device web agent's answer (the client request's cache file) is sent
// to the browser unchanged on the page's own connection. Reading needs no
// rights; a POST (a change on the device) needs the administrator right and
// forwards the posted data without its "addr" and "device" pairs; anyone
// else gets the "Error!" banner whose OK leads back to the "onAuthErr" page
// ("/KOR/WebAgent/<onAuthErr>?device=..&addr=..", a path on the browser's
// own origin).
//
// Lifetime. Unlike other pages a WebAgentPage outlives its request: once its
// client request has started, the page belongs to that request and
// WebAgentCallback destroys it at state 14. A page that answers without
// starting a client request (a refused POST, an address or form too long to
// forward, a request the library will not start) destroys itself before
// its handler returns. Either way the dispatcher never deletes it, and must
// not touch it once Process has returned.
//
// Safety. Carriage returns, line feeds and other control characters in the
// values never reach the header lines (they would add request headers of
// their own). Posted data over 767 characters and target URLs over 1023
// characters get an error page instead of being cut.
//
// Threads. The page's fields are written by the request thread before the
// client request starts and only read by the callbacks afterwards. All runs
// of WebAgentCallback, for every page, hold WebAgentLock.
#include <cstdint>
#include <optional>
#include <string>

#include "agent/core/lock.h"
#include "web_page.h"
#include "platform/zepa/zepa.h"

namespace orla {

class WebAgentPage : public WebPage {
 public:
  // The longest posted data and target URL that are forwarded.
  static constexpr size_t kMaxPostedData = 767;
  static constexpr size_t kMaxTargetUrl = 1023;
  // The part of the request path that names the pass-through.
  static constexpr size_t kPrefixLength = 14;  // "/KOR/WebAgent/"
  // The first segment below it that names the tape library pages.
  static constexpr char kLibraryPrefix[] = "Library/";

  // The web server library's client calls the pass-through makes. The
  // library's own by default; tests put recording ones in their place.
  struct ClientCalls {
    uint32_t (*serverHandle)();
    int (*getUrl)(uint32_t, const char*, PFN_ZEPA_CLIENT_CALLBACK, void*);
    int (*postUrlEx)(uint32_t, const char*, const char*, uint32_t, const void*, uint32_t, PFN_ZEPA_CLIENT_CALLBACK,
                     void*);
    void* (*getUserObject)(HZEPACLIENT);
    uint32_t (*state)(HZEPACLIENT);
    uint32_t (*status)(HZEPACLIENT);
    const char* (*cacheFileName)(HZEPACLIENT);
    int (*sendBytes)(HZEPACLIENT, const void*, uint32_t, uint32_t*);
  };
  static ClientCalls LibraryClientCalls();
  static const ClientCalls& Calls();
  // Replaces the calls (nullptr restores the library's). Not for use while
  // requests are under way.
  static void SetClientCalls(const ClientCalls* calls);

  explicit WebAgentPage(EXTENSION_CONTROL_BLOCK* request);
  ~WebAgentPage() override;

  uint32_t HandleGet() override;
  uint32_t HandlePost() override;

  // The seven header lines, each ended by "\r\n"; an absent value leaves the
  // text after ": " empty, and control characters in a value are dropped.
  std::string HeaderLines() const;
  // "<origin>/webagent/Fibre/<path after the prefix>" ("<origin>/weblibrary/
  // <rest>" for "Library/<rest>"), cut at a "?"; bytes
  // a URL cannot carry as they are (controls, spaces, "%", "#", non-ASCII)
  // percent-encoded. False when the path is shorter than the prefix.
  static bool BuildTargetUrl(const char* pathInfo, const std::string& origin, std::string* url);
  // Where the server that listens on `listenAddress` (numeric; empty,
  // "0.0.0.0" and "::" for every address) and `port` is reached from this
  // host: "https://localhost:<port>" for every address, else the address
  // itself ("https://10.1.2.3:<port>", "https://[fd00::1]:<port>").
  static std::string DeviceWebAgentOrigin(const std::string& listenAddress, int port);

  // What the callbacks work with.
  const std::optional<std::string>& Machine() const { return machine_; }
  const std::optional<std::string>& Device() const { return device_; }
  const std::optional<std::string>& GetCommunity() const { return getCommunity_; }
  const std::optional<std::string>& SetCommunity() const { return setCommunity_; }
  const std::string& TargetUrl() const { return targetUrl_; }

 private:
  friend int WebAgentCallback(HZEPACLIENT client);

  // Answers with an error page and destroys the page; returns the answer.
  uint32_t FailAndDestroy(const std::string& message);

  std::optional<std::string> machine_;
  std::optional<std::string> device_;
  std::optional<std::string> getCommunity_;
  std::optional<std::string> setCommunity_;
  // Whether the requesting user holds the administrator right (read when
  // the request is handled, before the client request starts).
  bool mayChange_ = false;
  bool headerLinesSent_ = false;
  uint32_t clientState_ = 0;
  uint32_t clientStatus_ = 0;
  std::string targetUrl_;
};

// The client request's callback: state 16 adds the header lines once, 11
// sends the response file to the browser, 14 destroys the page. Returns 1.
int WebAgentCallback(HZEPACLIENT client);

// Serialises every run of WebAgentCallback.
extern Lock WebAgentLock;

// Removes one key=value pair, the first whose text starts with `key` ("addr=")
// at the start of the data or right after an "&", from form data.
//   a=1&addr=10.1.2.3&b=2 -> a=1&b=2;  addr=10.1.2.3&b=2 -> b=2;  b=2&addr=10.1.2.3 -> b=2
void RemoveField(std::string* data, const char* key);

}  // namespace orla
