#pragma once
// What every device web agent page has in common: the frame (head with the
// agent's script and style sheet, the "Device <name> (<address>)" header,
// the navigation between a module's pages, the tail), label/value rows,
// status images, the plain message pages, and escaping.
//
// The pages look like the agent's own: they load the agent's script and
// style sheet from "/KOR/" and use its classes (header, head2, dark, light,
// dialog). They are reached through the agent's pass-through under
// "/KOR/WebAgent/", so every link is relative and carries the device name
// and address ("?device=..&addr=..") that the pass-through turns into
// request header lines. Every text that comes from the device or the
// request is HTML-escaped; values in links are also URL-encoded.
#include <string>
#include <vector>

namespace orla {

class DevicePage {
 public:
  // One entry of a module's navigation.
  struct Link {
    const char* page;
    const char* label;
    bool shown;
  };

  DevicePage(std::string device, std::string machine);

  // Whether the visitor may change things (DeviceRequest::MayChange): only
  // then does a page offer its changes (forms, fields, actions); otherwise
  // it shows the same values as text. Off until set.
  void SetMayChange(bool mayChange) { mayChange_ = mayChange; }
  bool MayChange() const { return mayChange_; }

  // A page with one message (already HTML, the caller escapes what it puts
  // in) and a link back to the module's first page.
  std::string Message(const std::string& title, const std::string& html) const;
  // The page for a device whose read ended with the SNMP error `code`:
  // "Device not answering" when it stayed silent, else "Device error".
  std::string Failure(int code, const std::string& message) const;

  // Whether an SNMP error code means the device did not answer at all.
  static bool IsSilence(int code);
  static std::string Escape(const std::string& text);
  static std::string UrlEncode(const std::string& text);
  // One label/value row of a two-column table; the value is escaped here.
  static std::string Row(const char* label, const std::string& value);
  // The agent's status image for an agent status (0 ok, 1 degraded, 2
  // failed, anything else unknown); the agent's script adds its text.
  static std::string StatusImage(int agentStatus);

 protected:
  // The start of a page titled `title`, with the device header.
  std::string Head(const std::string& title) const;
  // The links of `links` that are shown, `current` in bold.
  std::string Navigation(const char* current, const std::vector<Link>& links) const;
  std::string Tail() const;
  // The administrators' action "Send traps to this agent…": a link to the
  // agent's trap-target page for this element (which asks first, and does
  // the change only for an administrator), hidden until the agent's
  // device-page script finds the visitor is one. Empty without an element
  // name, and for a visitor who may not change things.
  std::string TrapTargetAction() const;
  // "?device=..&addr=.." for links, URL-encoded (not yet HTML-escaped).
  std::string Query() const;
  // The element's name, else the device's address.
  const std::string& Who() const { return device_.empty() ? machine_ : device_; }
  const std::string& Machine() const { return machine_; }
  const std::string& Device() const { return device_; }

 private:
  std::string device_;
  std::string machine_;
  bool mayChange_ = false;
};

}  // namespace orla
