#pragma once
// WebPage: the base of every page of the web interface. The dispatcher
// (PageServer) creates one page object on the heap per request, hands it the
// request's EXTENSION_CONTROL_BLOCK (not owned) and runs Process, which picks
// HandleGet or HandlePost by the method; any other method answers 4 so the
// dispatcher serves the path as a file. A page builds its response in its
// output text (Append, AppendFormat) and sends it with SendPage, or with one
// of the shared answers ShowError, ShowErrorBanner and ShowSuccess, which
// replace whatever the page had written.
//
// Escaping. The shared answers escape what they are given: a message is
// plain text (HTML-escaped here), a location is a URL (escaped here for the
// JavaScript string inside the onClick attribute). Pages pass raw texts to
// them, and escape every dynamic value they append themselves with
// TextEscape.
//
// Form fields. GetField reads a field from the posted data, or, when the
// request has no body, from the query string; the value is decoded ("+" is
// a space, %HH a byte), the name is compared as it stands (an encoded name
// never matches). NextToken is the tokenizer behind it: unlike strtok it
// skips nothing, so a leading delimiter or two in a row give empty tokens.
// Buffers grow as needed; nothing is cut short.
//
// Same origin. What the shared answers write for the browser (script,
// image, OK location) is a path on the origin the browser used
// ("/KOR/warningwhite.gif"), never an absolute URL with the host's address:
// the pages work under any host name, through a tunnel or a reverse proxy,
// and need no host lookup.
//
// Threads: a page serves one request on one library thread; all its state
// is its own. The host lookups are thread-safe.
#include <cstdint>
#include <optional>
#include <string>

#include "agent/core/root_object.h"
#include "platform/zepa/zepa.h"

namespace orla {

class WebPage : public RootObject {
 public:
  // The access right the pages ask about, and its administrator bit.
  static constexpr const char* kRightName = "KORAccess";
  static constexpr uint32_t kAdministratorRight = 2;
  static constexpr uint32_t kOperatorRight = 4;
  // The request procedure's answers.
  static constexpr uint32_t kAnswered = HSE_STATUS_SUCCESS;       // 1
  static constexpr uint32_t kLeaveToLibrary = ZEPA_STATUS_LEAVE_TO_LIBRARY;  // 1015
  static constexpr uint32_t kServeFile = 4;

  explicit WebPage(EXTENSION_CONTROL_BLOCK* request);
  ~WebPage() override;
  WebPage(const WebPage&) = delete;
  WebPage& operator=(const WebPage&) = delete;

  // Returns 1 and does nothing here; the add page writes its form.
  virtual uint32_t ShowForm(bool flag);
  // Both return 1 and do nothing here.
  virtual uint32_t HandleGet();
  virtual uint32_t HandlePost();

  // "GET" runs HandleGet, "POST" HandlePost (case-sensitive), and their
  // result is returned; any other method returns 4. A page that serves
  // other methods (the API) replaces it.
  virtual uint32_t Process();

  // Sends "Content-type: text/html\r\nContent-length: %d\r\nCache-Control:
  // no-cache\r\n\r\n" (the output's length in bytes) with the library's
  // default status, then the output. Returns 1.
  uint32_t SendPage();
  // The console's answers (JSON, CSV, our own pages): the output with this
  // content type, "Cache-Control: no-store", "X-Content-Type-Options:
  // nosniff" and any further header lines (each ending in "\r\n"). Returns 1.
  uint32_t SendContent(const char* contentType, const std::string& moreHeaders = std::string());
  // The same with the status line's code and text ("404 Not Found").
  uint32_t SendContentWithStatus(const char* status, const char* contentType,
                                 const std::string& moreHeaders = std::string());
  // A long answer sent in pieces, so the page never holds it whole:
  // BeginContent sends SendContent's header lines (without a length; the
  // library frames the answer), then each FlushOutput sends the output
  // written since and empties it (the library keeps a long answer in a
  // file, not in memory). Returns 1.
  uint32_t BeginContent(const char* contentType, const std::string& moreHeaders = std::string());
  void FlushOutput();
  // Whether the request comes with a signed-in session whose user holds a
  // right (KORAccess not 0): what reading a page needs.
  bool HasSession() const;
  // Whether an answer of the rights query lets its user read: a session
  // (not 0x80000000) with a right other than 0.
  static bool MayRead(uint32_t rights) { return rights != ZEPA_RIGHTS_NO_SESSION && rights != 0; }
  // What a signed-in user without any right gets instead of a page.
  static constexpr const char* kNoRight =
      "You are signed in, but your user has no right to the agent's pages (KORAccess is 0). An administrator can "
      "give you one with korusers.";

  // The error page. `location` (a URL relative to /KOR/ or a path, or none;
  // empty is none) is where its OK button leads; without one OK closes the
  // window. `refresh` makes OK reload the window that opened this one.
  uint32_t ShowError(const std::string& message, const char* location, bool refresh);
  uint32_t ShowError(const std::string& message, const std::string& location, bool refresh);
  // The larger "Error!" page of the device pass-through; without a location
  // OK returns the frame's parent to \KOR\.
  uint32_t ShowErrorBanner(const std::string& message, const char* location);
  uint32_t ShowErrorBanner(const std::string& message, const std::string& location);
  // The success page: loading it reloads the opening window; OK closes it.
  uint32_t ShowSuccess(const std::string& message);
  // Appends the ResetParent() script; with `refresh` it reloads
  // window.opener, otherwise its body is empty.
  void WriteResetParent(bool refresh);

  // The decoded value of form field `name`, or none when the request has no
  // fields, the field is absent, or it is named last with nothing after its
  // "=". A "%" not followed by two hexadecimal digits, and %00, are kept as
  // they stand.
  std::optional<std::string> GetField(const char* name);

  // With `text`, starts splitting a copy of it; with nullptr, goes on with
  // the current one. Returns the characters from the current position up to
  // the first of `delimiters` (the position moves past it), or the rest of
  // the text when none follows; nullptr once the end has been reached. The
  // token stays valid until the next call.
  const char* NextToken(const char* text, const char* delimiters);

  // Resolves `text` (dotted IPv4 address or host name) and replaces it by
  // the first IPv4 address found, "%i.%i.%i.%i". False, with `text` left
  // alone, when nothing is found.
  static bool ResolveAddress(std::string* text);

  // The rights query (REQ_QUERY_RIGHTS, "KORAccess") for `request`: the
  // library's answer, 0x80000000 for a request without a session, 0 when
  // the query itself fails.
  static uint32_t QueryRights(EXTENSION_CONTROL_BLOCK* request);
  // True when the requesting user holds the administrator right (bit 2).
  bool IsAdministrator() const;
  // Whether an answer of the rights query lets its user operate
  // (acknowledge alarms): the operator right (bit 4) or the administrator
  // right, with a session.
  static bool MayOperate(uint32_t rights) {
    return rights != ZEPA_RIGHTS_NO_SESSION && (rights & (kOperatorRight | kAdministratorRight)) != 0;
  }
  // The signed-in user's name (REMOTE_USER); empty when unknown.
  std::string UserName() const;
  // Writes the audit event of a change this request made (AuditTrail):
  // the logged-in user (for a call with a user token, "USER (token NAME)")
  // and the address the request came from.
  void RecordChange(const std::string& what, const std::string& element = std::string(),
                    const std::string& elementAddress = std::string()) const;
  // What a change asked for by a user without that right gets, as text and
  // as the error page whose OK closes the window.
  static constexpr const char* kNotAdministrator =
      "You must log in (or log in again) as administrator to perform this operation.";
  uint32_t ShowNotAdministrator() { return ShowError(kNotAdministrator, nullptr, false); }
  static constexpr const char* kNotOperator =
      "You must log in (or log in again) as operator or administrator to perform this operation.";

  // The response body built so far.
  const std::string& Output() const { return output_; }
  EXTENSION_CONTROL_BLOCK* Request() const { return request_; }

 protected:
  void Append(const char* text) { output_ += text; }
  void Append(const std::string& text) { output_ += text; }
  void AppendFormat(const char* format, ...) __attribute__((format(printf, 2, 3)));
  void ClearOutput() { output_.clear(); }
  // The opening of a dialog page: "<HTML><HEAD>", the title, the page
  // utilities script from `utilitiesScript` and the script that applies
  // the style sheet and focuses the window. The caller closes the head.
  void AppendDialogHead(const char* title, const std::string& utilitiesScript = "orla_utilities.js");

  // A server variable of the request ("REMOTE_ADDR"); empty when unknown.
  std::string ServerVariable(const char* name) const;

 private:
  // Sends `header` (with `status`, or the library's default when null)
  // and the output.
  uint32_t SendWithHeader(const std::string& header, const char* status = nullptr);
  void SendHeader(const std::string& header, const char* status = nullptr);
  // Closes the message cell, table and page of ShowError and
  // ShowErrorBanner, and sends the page.
  uint32_t SendErrorPageEnd();

  std::string output_;
  EXTENSION_CONTROL_BLOCK* request_;
  std::string tokenSource_;
  std::string token_;
  size_t tokenPosition_ = 0;
};

}  // namespace orla
