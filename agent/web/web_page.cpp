#include "web_page.h"

#include <cstdarg>
#include <cstring>

#include "agent/core/audit_trail.h"
#include "agent/traps/trap_sender.h"
#include "text_escape.h"
#include "platform/net/host_lookup.h"
#include "platform/text/string_printf.h"
#include "platform/text/url_decoding.h"

namespace orla {

namespace {
const char* const kContentHeaders = "Cache-Control: no-store\r\nX-Content-Type-Options: nosniff\r\n";
}  // namespace

WebPage::WebPage(EXTENSION_CONTROL_BLOCK* request) : request_(request) {}

WebPage::~WebPage() = default;

uint32_t WebPage::ShowForm(bool /*flag*/) { return kAnswered; }

uint32_t WebPage::HandleGet() { return kAnswered; }

uint32_t WebPage::HandlePost() { return kAnswered; }

uint32_t WebPage::Process() {
  const char* method = request_ != nullptr ? request_->lpszMethod : nullptr;
  if (method != nullptr && std::strcmp(method, "GET") == 0) return HandleGet();
  if (method != nullptr && std::strcmp(method, "POST") == 0) return HandlePost();
  return kServeFile;
}

void WebPage::AppendFormat(const char* format, ...) {
  va_list args;
  va_start(args, format);
  output_ += StringPrintfV(format, args);
  va_end(args);
}

void WebPage::AppendDialogHead(const char* title, const std::string& utilitiesScript) {
  AppendFormat("<HTML><HEAD><TITLE>%s</TITLE>", title);
  AppendFormat("<SCRIPT language=javascript1.2 src='%s'> </SCRIPT>", utilitiesScript.c_str());
  Append("<SCRIPT language=javascript1.2>includeStyleSheet();focus();</SCRIPT>");
}

uint32_t WebPage::SendPage() {
  return SendWithHeader(StringPrintf("Content-type: text/html\r\nContent-length: %d\r\nCache-Control: no-cache\r\n\r\n",
                                     static_cast<int>(output_.size())));
}

uint32_t WebPage::SendContent(const char* contentType, const std::string& moreHeaders) {
  return SendWithHeader(StringPrintf("Content-type: %s\r\nContent-length: %zu\r\n", contentType, output_.size()) +
                        kContentHeaders + moreHeaders + "\r\n");
}

uint32_t WebPage::SendContentWithStatus(const char* status, const char* contentType, const std::string& moreHeaders) {
  return SendWithHeader(StringPrintf("Content-type: %s\r\nContent-length: %zu\r\n", contentType, output_.size()) +
                            kContentHeaders + moreHeaders + "\r\n",
                        status);
}

uint32_t WebPage::BeginContent(const char* contentType, const std::string& moreHeaders) {
  SendHeader(StringPrintf("Content-type: %s\r\n", contentType) + kContentHeaders + moreHeaders + "\r\n");
  return kAnswered;
}

void WebPage::FlushOutput() {
  uint32_t length = static_cast<uint32_t>(output_.size());
  if (length > 0) request_->WriteClient(request_->ConnID, output_.data(), &length, 0);
  output_.clear();
}

void WebPage::SendHeader(const std::string& header, const char* status) {
  uint32_t headerLength = static_cast<uint32_t>(header.size());
  request_->ServerSupportFunction(request_->ConnID, HSE_REQ_SEND_RESPONSE_HEADER, const_cast<char*>(status),
                                  &headerLength,
                                  reinterpret_cast<uint32_t*>(const_cast<char*>(header.c_str())));
}

uint32_t WebPage::SendWithHeader(const std::string& header, const char* status) {
  SendHeader(header, status);
  uint32_t bodyLength = static_cast<uint32_t>(output_.size());
  request_->WriteClient(request_->ConnID, output_.data(), &bodyLength, 0);
  return kAnswered;
}

std::string WebPage::ServerVariable(const char* name) const {
  if (request_ == nullptr || request_->GetServerVariable == nullptr) return std::string();
  // Asked once for the size, then for the value (a user name has no bound).
  uint32_t size = 0;
  request_->GetServerVariable(request_->ConnID, name, nullptr, &size);
  if (size == 0) return std::string();
  std::string value(size, '\0');
  if (!request_->GetServerVariable(request_->ConnID, name, value.data(), &size)) return std::string();
  value.resize(std::strlen(value.c_str()));
  return value;
}

void WebPage::RecordChange(const std::string& what, const std::string& element,
                           const std::string& elementAddress) const {
  // A change made with a user token names the token beside its user.
  const std::string token = ServerVariable("AUTH_TOKEN_NAME");
  const std::string user = ServerVariable("REMOTE_USER") + (token.empty() ? std::string() : " (token " + token + ")");
  AuditTrail::Record({user, ServerVariable("REMOTE_ADDR")}, what, element, elementAddress);
}

std::string WebPage::UserName() const { return ServerVariable("REMOTE_USER"); }

bool WebPage::HasSession() const { return MayRead(QueryRights(request_)); }

void WebPage::WriteResetParent(bool refresh) {
  Append("<SCRIPT language=javascript1.2>");
  Append("function ResetParent()");
  Append("{");
  if (refresh) Append("window.opener.refresh();");
  Append("}");
  Append("</SCRIPT>");
}

uint32_t WebPage::ShowError(const std::string& message, const std::string& location, bool refresh) {
  return ShowError(message, location.c_str(), refresh);
}

uint32_t WebPage::ShowError(const std::string& message, const char* location, bool refresh) {
  // Script, image and OK location are paths on the origin the browser used,
  // so the page works under any host name, through a tunnel or a proxy.
  ClearOutput();
  AppendDialogHead("Quillane Command Console", "/KOR/orla_utilities.js");
  WriteResetParent(refresh);
  Append("</HEAD>");
  Append("<BODY class=dialog onLoad=\"document.input_form.ok.focus();\">");
  Append("<CENTER>");
  Append("<TABLE class=dark width=80%>");
  Append("<TR class=dark>");
  Append("<TD class=dark valign=top>");
  Append("<IMG src=/KOR/warningwhite.gif>");
  Append("</TD>");
  Append("<TD class=dark valign=top>");
  Append(TextEscape::Html(message));
  Append("<P>");
  if (location != nullptr && *location != '\0') {
    AppendFormat(
        "<CENTER><FORM name=input_form><INPUT name=ok type=button value=\"OK\" "
        "onClick=\"ResetParent();window.location='%s';\"></FORM></CENTER>",
        TextEscape::ScriptInAttribute(location).c_str());
  } else {
    Append(
        "<CENTER><FORM name=input_form><INPUT name=ok type=button value=\"OK\" "
        "onClick=\"ResetParent();window.close();\"></FORM></CENTER>");
  }
  return SendErrorPageEnd();
}

uint32_t WebPage::ShowErrorBanner(const std::string& message, const std::string& location) {
  return ShowErrorBanner(message, location.c_str());
}

uint32_t WebPage::ShowErrorBanner(const std::string& message, const char* location) {
  ClearOutput();
  Append("<HTML>");
  Append("<HEAD>");
  Append("<TITLE>Error!</TITLE>");
  Append("</HEAD>");
  Append("<BODY>");
  Append("<CENTER>");
  Append("<TABLE width=80%>");
  Append("<TR>");
  Append("<TD valign=top>");
  Append("<IMG src=/KOR/warningwhite.gif>");
  Append("</TD>");
  Append("<TD valign=top>");
  Append("<FONT size=5>Error</FONT><P>");
  Append("<CENTER><HR width=100></CENTER>");
  Append(TextEscape::Html(message));
  Append("<P>");
  if (location != nullptr && *location != '\0') {
    AppendFormat(
        "<CENTER><FORM><INPUT type=button value=\"OK\" onClick=\"window.location='%s';\"></FORM></CENTER>",
        TextEscape::ScriptInAttribute(location).c_str());
  } else {
    Append(
        // Written as "\KOR\" the closing quote would be escaped and the
        // script would not run: the button leads to the root by its URL.
        "<CENTER><FORM><INPUT type=button value=\"OK\" onClick=\"window.parent.location='/KOR/';\">"
        "</FORM></CENTER>");
  }
  return SendErrorPageEnd();
}

uint32_t WebPage::SendErrorPageEnd() {
  Append("</TD>");
  Append("</TR>");
  Append("</TABLE>");
  Append("</CENTER>");
  Append("</BODY>");
  Append("</HTML>");
  return SendPage();
}

uint32_t WebPage::ShowSuccess(const std::string& message) {
  ClearOutput();
  AppendDialogHead("Success!");
  WriteResetParent(true);
  Append("</HEAD><BODY class=dialog onLoad='ResetParent();document.input_form.ok.focus();'>");
  Append("<CENTER><BR><BR>");
  Append(TextEscape::Html(message));
  Append("<P>");
  Append("<FORM name=input_form><INPUT name=ok type=button value=\"OK\" onClick=\"window.close();\">");
  Append("</FORM></CENTER>");
  Append("</BODY></HTML>");
  return SendPage();
}

const char* WebPage::NextToken(const char* text, const char* delimiters) {
  if (text != nullptr) {
    tokenSource_ = text;
    tokenPosition_ = 0;
    token_.clear();
  }
  if (tokenPosition_ >= tokenSource_.size()) return nullptr;
  const size_t start = tokenPosition_;
  const size_t end = tokenSource_.find_first_of(delimiters != nullptr ? delimiters : "", start);
  if (end == std::string::npos) {
    token_.assign(tokenSource_, start, std::string::npos);
    tokenPosition_ = tokenSource_.size();
  } else {
    token_.assign(tokenSource_, start, end - start);
    tokenPosition_ = end + 1;
  }
  return token_.c_str();
}

std::optional<std::string> WebPage::GetField(const char* name) {
  if (request_ == nullptr || name == nullptr) return std::nullopt;
  const char* source = nullptr;
  if (request_->lpbData != nullptr) {
    source = reinterpret_cast<const char*>(request_->lpbData);
  } else if (request_->lpszQueryString != nullptr && *request_->lpszQueryString != '\0') {
    source = request_->lpszQueryString;
  } else {
    return std::nullopt;
  }
  const char* token = NextToken(source, "\n\r=");
  while (token != nullptr) {
    if (std::strcmp(token, name) == 0) {
      const char* value = NextToken(nullptr, "\n\r&");
      if (value == nullptr) return std::nullopt;
      // A zero byte would cut the value short where it is handed on as a C
      // string: "%00" stays as it was typed.
      return UrlDecoding::Decode(value, UrlDecoding::Plus::kIsSpace, UrlDecoding::ZeroByte::kKeepEscaped);
    }
    NextToken(nullptr, "\n\r&");
    token = NextToken(nullptr, "\n\r=");
  }
  return std::nullopt;
}

bool WebPage::ResolveAddress(std::string* text) {
  SocketAddressIn found{};
  if (text == nullptr || !HostLookup::ResolveIPv4(text->c_str(), 0, &found)) return false;
  const auto* bytes = reinterpret_cast<const unsigned char*>(&found.address);
  *text = StringPrintf("%i.%i.%i.%i", bytes[0], bytes[1], bytes[2], bytes[3]);
  return true;
}


uint32_t WebPage::QueryRights(EXTENSION_CONTROL_BLOCK* request) {
  if (request == nullptr || request->ServerSupportFunction == nullptr) return 0;
  uint32_t rights = 0;
  if (!request->ServerSupportFunction(request->ConnID, REQ_QUERY_RIGHTS, const_cast<char*>(kRightName), nullptr,
                                      &rights)) {
    return 0;
  }
  return rights;
}

bool WebPage::IsAdministrator() const {
  const uint32_t rights = QueryRights(request_);
  return rights != ZEPA_RIGHTS_NO_SESSION && (rights & kAdministratorRight) != 0;
}

}  // namespace orla
