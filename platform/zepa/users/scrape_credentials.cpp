#include "scrape_credentials.h"

#include <sys/stat.h>

#include <algorithm>
#include <cerrno>

#include "platform/text/ascii_case.h"
#include "platform/text/atomic_file.h"
#include "platform/text/string_printf.h"
#include "password_hash.h"
#include "../web_text.h"
#include "../whole_file.h"
#include "../zepa_log.h"

namespace orla {

namespace {

constexpr size_t kTokenBytes = 32;

bool IsToken(const std::string& text) {
  return text.size() == 2 * kTokenBytes &&
         std::all_of(text.begin(), text.end(), [](char c) { return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f'); });
}

// The scheme's credentials when `header` is "<scheme> <credentials>"
// (scheme in any case).
bool Credentials(const std::string& header, const std::string& scheme, std::string* credentials) {
  if (header.size() <= scheme.size() + 1 || header[scheme.size()] != ' ' ||
      !AsciiCase::Equal(header.substr(0, scheme.size()), scheme)) {
    return false;
  }
  const size_t start = header.find_first_not_of(' ', scheme.size());
  const size_t end = header.find_last_not_of(' ');
  if (start == std::string::npos) return false;
  *credentials = header.substr(start, end - start + 1);
  return true;
}

}  // namespace

ScrapeCredentials::ScrapeCredentials(std::string tokenPath, const std::string& userTokensPath, LoginService& login)
    : tokenPath_(std::move(tokenPath)), login_(login), userTokens_(userTokensPath),
      refused_("refused_credentials", "requests with refused credentials", 1,
               [](const std::string& text) { ZepaLog::Write(ZepaLog::kWarning, text); },
               &login.Time() == Clock::System() ? nullptr : &login.Time()) {}

int ScrapeCredentials::MakeToken(const std::string& path, std::string* token) {
  const std::string made = PasswordHash::RandomHex(kTokenBytes);
  const int error = AtomicFile::Write(path, made + "\n", 0600);
  if (error == 0) *token = made;
  return error;
}

bool ScrapeCredentials::ReadToken(const std::string& path, std::string* token) {
  std::string text;
  if (!WholeFile::Read(path, &text)) return false;
  while (!text.empty() && (text.back() == '\n' || text.back() == '\r')) text.pop_back();
  if (!IsToken(text)) return false;
  *token = text;
  return true;
}

bool ScrapeCredentials::DecodeBase64(const std::string& text, std::string* out) {
  static const std::string alphabet = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
  if (text.size() % 4 != 0) return false;
  out->clear();
  uint32_t bits = 0;
  int count = 0;
  size_t padding = 0;
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '=') {
      // Only at the end, at most two.
      if (i + 2 < text.size()) return false;
      ++padding;
      continue;
    }
    if (padding > 0) return false;
    const size_t value = alphabet.find(text[i]);
    if (value == std::string::npos) return false;
    bits = (bits << 6) | static_cast<uint32_t>(value);
    count += 6;
    if (count >= 8) {
      count -= 8;
      out->push_back(static_cast<char>((bits >> count) & 0xff));
    }
  }
  return padding <= 2;
}

void ScrapeCredentials::SortOut(HttpTransport::Request& request) {
  std::vector<std::string> offered;
  auto& headers = request.headers;
  for (auto it = headers.begin(); it != headers.end();) {
    if (AsciiCase::Equal(it->first, "Authorization")) {
      offered.push_back(it->second);
      it = headers.erase(it);
    } else {
      ++it;
    }
  }
  request.authType.clear();
  request.authUser.clear();
  request.authTokenName.clear();
  if (offered.empty()) return;
  if (offered.size() > 1) {
    Refuse(request, "more than one Authorization header");
    return;
  }
  std::string credentials;
  if (Credentials(offered[0], "Bearer", &credentials)) {
    if (UserTokenStore::LooksLikeUserToken(credentials)) {
      UserTokenMatches(request, credentials);
    } else if (TokenMatches(credentials)) {
      request.authType = "Bearer";
    } else {
      Refuse(request, "a wrong bearer token");
    }
    return;
  }
  if (Credentials(offered[0], "Basic", &credentials)) {
    std::string user;
    if (BasicMatches(request, credentials, &user)) {
      request.authType = "Basic";
      request.authUser = user;
    }
    return;
  }
  Refuse(request, "an authorization scheme other than Bearer or Basic");
}

bool ScrapeCredentials::TokenMatches(const std::string& token) {
  std::lock_guard<std::mutex> hold(mutex_);
  struct stat st{};
  if (::stat(tokenPath_.c_str(), &st) != 0) {
    token_.clear();
    tokenMtimeNs_ = -1;
    return false;
  }
  // A token file others may read is no secret: refused while it is so. The
  // mode is looked at on every use, so a chmod takes effect at once; the
  // warning comes when the file becomes readable, not with every request.
  if ((st.st_mode & 077) != 0) {
    if (!openWarned_) {
      ZepaLog::Write(ZepaLog::kWarning, "The metrics token file " + tokenPath_ +
                                            " may be read by others; its token is refused until only its owner "
                                            "may read it (korusers token new makes a new one).");
      openWarned_ = true;
    }
    return false;
  }
  openWarned_ = false;
  const int64_t mtimeNs = static_cast<int64_t>(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec;
  if (st.st_ino != tokenInode_ || mtimeNs != tokenMtimeNs_) {
    std::string read;
    if (!ReadToken(tokenPath_, &read)) {
      ZepaLog::Write(ZepaLog::kWarning, "The metrics token file " + tokenPath_ + " holds no valid token.");
    }
    token_ = read;
    tokenInode_ = st.st_ino;
    tokenMtimeNs_ = mtimeNs;
  }
  return !token_.empty() && PasswordHash::SameText(token, token_);
}

bool ScrapeCredentials::UserTokenMatches(HttpTransport::Request& request, const std::string& secret) {
  UserTokenStore::Token token;
  const int64_t now = login_.Time().WallSeconds();
  switch (userTokens_.Check(secret, now, &token)) {
    case UserTokenStore::Verdict::kValid:
      break;
    case UserTokenStore::Verdict::kExpired:
      Refuse(request, "an expired user token");
      return false;
    default:
      Refuse(request, "an unknown or revoked user token");
      return false;
  }
  if (!login_.Users().Find(token.user)) {
    Refuse(request, "a token of a user who is no longer there");
    return false;
  }
  request.authType = "Bearer";
  request.authUser = token.user;
  request.authTokenName = token.name;
  return true;
}

bool ScrapeCredentials::BasicMatches(const HttpTransport::Request& request, const std::string& credentials,
                                     std::string* user) {
  std::string decoded;
  const size_t colon = DecodeBase64(credentials, &decoded) ? decoded.find(':') : std::string::npos;
  if (colon == std::string::npos) {
    Refuse(request, "malformed basic credentials");
    return false;
  }
  const std::string name = decoded.substr(0, colon);
  const std::string password = decoded.substr(colon + 1);
  const auto now = login_.Time().SteadyNow();
  std::optional<UserStore::User> found = UserStore::IsValidName(name) ? login_.Users().Find(name) : std::nullopt;
  {
    std::lock_guard<std::mutex> hold(mutex_);
    auto it = remembered_.find(name);
    if (it != remembered_.end()) {
      if (found && it->second.hash == found->hash && now < it->second.until &&
          PasswordHash::SameText(password, it->second.password)) {
        *user = name;
        return true;
      }
      remembered_.erase(it);
    }
  }
  // The login form's check: the same throttles count both.
  switch (login_.CheckPassword(request.remoteAddress, name, password, &found)) {
    case LoginService::Check::kOk:
      break;
    case LoginService::Check::kWrong:
      Refuse(request, "a wrong user name or password");
      return false;
    case LoginService::Check::kBusy:
      Refuse(request, "basic credentials while the server was too busy to check them");
      return false;
    default:
      Refuse(request, "basic credentials while its address, or the account from its address, is blocked after failed logins");
      return false;
  }
  std::lock_guard<std::mutex> hold(mutex_);
  if (remembered_.size() >= kMaxRemembered) remembered_.clear();
  remembered_[name] = Remembered{found->hash, password, now + kRememberFor};
  *user = name;
  return true;
}

void ScrapeCredentials::Refuse(const HttpTransport::Request& request, const std::string& what) {
  failures_.fetch_add(1, std::memory_order_relaxed);
  refused_.Warn(request.remoteAddress,
                StringPrintf("A web server request from %s came with %s.", request.remoteAddress.c_str(), what.c_str()));
}

}  // namespace orla
