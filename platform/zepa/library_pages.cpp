#include "library_pages.h"

#include <mutex>

#include "platform/text/ascii_case.h"
#include "platform/text/string_printf.h"
#include "web_text.h"

namespace orla {

namespace {
const char* const kStyle =
    "<STYLE>body{font-family:sans-serif;margin:2em;}"
    "form.login{max-width:22em;}label{display:block;margin-top:0.8em;}"
    "input[type=text],input[type=password]{width:100%;}"
    ".message{color:#a00000;}.user{float:right;}</STYLE>";

std::mutex g_lookMutex;
LibraryPages::Look g_look;

// The opening of every page up to its main content, and the end.
std::string Head(const std::string& title) {
  const LibraryPages::Look look = LibraryPages::CurrentLook();
  std::string head = "<!DOCTYPE html><HTML lang=\"en\"><HEAD><META charset=\"utf-8\">"
                     "<META name=\"viewport\" content=\"width=device-width, initial-scale=1\"><TITLE>" +
                     WebText::HtmlEscape(title) + "</TITLE>" + kStyle;
  if (!look.styleSheet.empty()) head += "<LINK rel=\"stylesheet\" href=\"" + WebText::HtmlEscape(look.styleSheet) + "\">";
  if (!look.script.empty()) head += "<SCRIPT src=\"" + WebText::HtmlEscape(look.script) + "\"></SCRIPT>";
  return head + "</HEAD><BODY class=\"zepa-page\"><MAIN>";
}

constexpr const char* kTail = "</MAIN></BODY></HTML>";
}  // namespace

void LibraryPages::SetLook(const Look& look) {
  std::lock_guard<std::mutex> lock(g_lookMutex);
  g_look = look;
}

LibraryPages::Look LibraryPages::CurrentLook() {
  std::lock_guard<std::mutex> lock(g_lookMutex);
  return g_look;
}

bool LibraryPages::IsLookPath(const std::string& path) {
  if (path.empty()) return true;
  if (path[0] != '/' || (path.size() > 1 && path[1] == '/')) return false;
  for (const char c : path) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte <= ' ' || byte == 0x7f || c == '"' || c == '\'' || c == '<' || c == '>' || c == '\\') return false;
  }
  return true;
}

std::string LibraryPages::LoginUrl(const std::string& returnPath) {
  return std::string(kLoginPath) + "?return=" + WebText::UrlEncode(WebText::SafeLocalPath(returnPath));
}

void LibraryPages::SendLoginNeeded(const HttpTransport::Request& request, HttpTransport::Response& response) {
  const std::string login = LoginUrl(request.target);
  const std::string mode = AsciiCase::Lower(request.Header("Sec-Fetch-Mode"));
  const std::string accept = AsciiCase::Lower(request.Header("Accept"));
  const bool navigation = request.HasHeader("Sec-Fetch-Mode")
                              ? mode == "navigate"
                              : accept.empty() || accept.find("text/html") != std::string::npos ||
                                    accept.find("*/*") != std::string::npos;
  response.headers.emplace_back("Cache-Control", "no-store");
  if (navigation) {
    response.status = 302;
    response.headers.emplace_back("Location", login);
    response.body = Error(302, "Please log in.");
    return;
  }
  response.status = 401;
  response.headers.emplace_back("WWW-Authenticate", "Session realm=\"web server\"");
  response.contentType = "application/json";
  // The URL holds only characters UrlEncode leaves and "/?=%": no JSON escape needed.
  response.body = "{\"error\":\"You must log in.\",\"login\":\"" + login + "\"}";
}

std::string LibraryPages::Home(const std::string& serverName, const std::vector<std::string>& fragments,
                               const std::string& user) {
  std::string page = Head(serverName + " Home Page");
  page += "<DIV class=user>";
  if (user.empty()) {
    page += StringPrintf("<A href=\"%s\">Log in</A>", LoginUrl("/").c_str());
  } else {
    page += "Logged in as " + WebText::HtmlEscape(user) + " &middot; " + LogoutForm();
  }
  page += "</DIV><H1>" + WebText::HtmlEscape(serverName) + "</H1>";
  if (fragments.empty()) page += "<P>No applications are registered with this web server.</P>";
  for (const std::string& fragment : fragments) page += "<DIV class=fragment>" + fragment + "</DIV>";
  page += kTail;
  return page;
}

std::string LibraryPages::Login(const std::string& serverName, const std::string& message,
                                const std::string& returnPath, const std::string& user) {
  std::string page = Head("Log in - " + serverName);
  page += "<H1>Log in to " + WebText::HtmlEscape(serverName) + "</H1>";
  if (!message.empty()) page += "<P class=message>" + WebText::HtmlEscape(message) + "</P>";
  page += StringPrintf("<FORM class=login method=POST action=\"%s\">", kLoginPath);
  page += "<INPUT type=hidden name=return value=\"" + WebText::HtmlEscape(WebText::SafeLocalPath(returnPath)) +
          "\">";
  page += "<LABEL>User name<INPUT type=text name=user autocomplete=username autofocus value=\"" +
          WebText::HtmlEscape(user) + "\"></LABEL>";
  page += "<LABEL>Password<INPUT type=password name=password autocomplete=current-password></LABEL>";
  page += "<P><INPUT type=submit value=\"Log in\"></P></FORM>";
  page += kTail;
  return page;
}

std::string LibraryPages::LoggedOut(const std::string& serverName) {
  std::string page = Head("Logged out - " + serverName);
  page += "<H1>You are logged out</H1>";
  page += StringPrintf("<P><A href=\"%s\">Log in again</A> &middot; <A href=\"/\">Home page</A></P>",
                       LoginUrl("/").c_str());
  page += kTail;
  return page;
}

std::string LibraryPages::LogoutForm() {
  return StringPrintf("<FORM class=logout method=POST action=\"%s\" style=\"display:inline\">"
                      "<INPUT type=submit value=\"Log out\"></FORM>",
                      kLogoutPath);
}

std::string LibraryPages::Logout(const std::string& serverName, const std::string& user) {
  std::string page = Head("Log out - " + serverName);
  if (user.empty()) {
    page += StringPrintf("<H1>You are not logged in</H1><P><A href=\"%s\">Log in</A> &middot; "
                         "<A href=\"/\">Home page</A></P>",
                         LoginUrl("/").c_str());
  } else {
    page += "<H1>Log out</H1><P>Logged in as " + WebText::HtmlEscape(user) + ".</P><P>" + LogoutForm() + "</P>";
  }
  page += "</BODY></HTML>";
  return page;
}

std::string LibraryPages::NoAccess(const std::string& serverName, const std::string& user,
                                   const std::string& returnPath) {
  std::string page = Head("No access - " + serverName);
  page += "<H1>No access</H1><P>The user " + WebText::HtmlEscape(user) + " may not open this page.</P>";
  page += "<P><A href=\"" + WebText::HtmlEscape(LoginUrl(returnPath)) +
          "\">Log in as another user</A> &middot; <A href=\"/\">Home page</A></P>";
  page += kTail;
  return page;
}

std::string LibraryPages::Error(int status, const std::string& message) {
  std::string page = Head(StringPrintf("%d %s", status, WebText::ReasonPhrase(status)));
  page += StringPrintf("<H1>%d %s</H1>", status, WebText::ReasonPhrase(status));
  if (!message.empty()) page += "<P>" + WebText::HtmlEscape(message) + "</P>";
  page += "<P><A href=\"/\">Home page</A></P>";
  page += kTail;
  return page;
}

void LibraryPages::Send(HttpTransport::Response& response, int status, const std::string& html) {
  response.status = status;
  response.contentType = "text/html; charset=utf-8";
  response.headers.emplace_back("Cache-Control", "no-store");
  response.body = html;
}

void LibraryPages::SendError(HttpTransport::Response& response, int status, const std::string& message) {
  Send(response, status, Error(status, message));
}

}  // namespace orla
