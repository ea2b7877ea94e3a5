#pragma once
// PasswordPage: "/KOR/password.html", where every signed-in user changes
// their own password: the current one, the new one twice. The web server
// library checks the current password (throttled like a log-in) and applies
// the users tool's rules; a changed password ends the user's sessions, this
// one too, so the page then asks to sign in again. A refusal is the error
// page; a change is an audit event.
#include <cstdint>

#include "web_page.h"

namespace orla {

class PasswordPage : public WebPage {
 public:
  using WebPage::WebPage;

  uint32_t HandleGet() override;
  uint32_t HandlePost() override;

  static constexpr const char* kLocation = "password.html";
  static constexpr const char* kRepeatDiffers = "The new password and its repetition differ.";
  static constexpr const char* kChanged = "Your password was changed. Sign in again with the new one.";

 private:
  void AppendPageStart();
  uint32_t AppendPageEnd();
};

}  // namespace orla
