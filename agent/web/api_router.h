#pragma once
// ApiRouter: the page that answers every request below /KOR/api/v1/ (its
// page table row), in JSON. It checks, in this order:
//   - a signed-in session (the pages' own: the library's cookie, and for a
//     change the library's same-origin rule), or a user token
//     ("Authorization: Bearer", AUTH_TOKEN_NAME set: its user's rights as
//     the server looks them up now), else 401;
//   - a KORAccess right other than 0, else 403 (the pages' text);
//   - a route of ApiRoutes for the path (404) and the method (405, with
//     Allow);
//   - the administrator right (mask 2) for a change, else 403 (the pages'
//     text);
//   - the body: at most kMaxBodyBytes (413), none for a route that takes
//     none, a JSON object for one that does, read by JsonReader within
//     kLimits (400 naming the outermost field at fault);
// then hands the call to the route's resource and sends its ApiReply. The
// resource writes the audit event of a change through the request
// (WebPage::RecordChange).
#include <cstddef>
#include <cstdint>

#include "api_reply.h"
#include "platform/text/json_reader.h"
#include "web_page.h"

namespace orla {

class ApiRouter : public WebPage {
 public:
  using WebPage::WebPage;
  ~ApiRouter() override = default;

  uint32_t Process() override;

  static constexpr size_t kMaxBodyBytes = 4096;
  static constexpr JsonReader::Limits kLimits = {8, 64};

  static constexpr const char* kNotSignedIn = "You must log in.";
  static constexpr const char* kNoSuchPath = "There is no such resource.";
  static constexpr const char* kNoSuchMethod = "This method is not served here.";
  static constexpr const char* kNoBodyHere = "This request takes no body.";

 private:
  ApiReply Answer();
  uint32_t Send(const ApiReply& reply);
};

}  // namespace orla
