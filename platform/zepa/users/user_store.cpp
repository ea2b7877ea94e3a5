#include "user_store.h"


#include <cctype>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <sstream>

#include "platform/text/string_printf.h"

namespace orla {

namespace {
bool NameChars(const std::string& name) {
  if (name.empty() || name.size() > 64) return false;
  for (unsigned char c : name) {
    if (!(std::isalnum(c) || c == '.' || c == '_' || c == '-')) return false;
  }
  return true;
}
}  // namespace

UserStore::UserStore(std::string path) : file_(std::move(path)) {}

bool UserStore::IsValidName(const std::string& name) { return NameChars(name) && name[0] != '-'; }

bool UserStore::IsValidRightName(const std::string& name) { return name == "*" || NameChars(name); }

bool UserStore::ParseRight(const std::string& text, std::string* name, uint32_t* mask) {
  const size_t eq = text.find('=');
  if (eq == std::string::npos) return false;
  const std::string right = text.substr(0, eq);
  const std::string number = text.substr(eq + 1);
  if (!IsValidRightName(right) || number.empty() || number[0] == '-' || number[0] == '+') return false;
  errno = 0;
  char* end = nullptr;
  const unsigned long long value = std::strtoull(number.c_str(), &end, 0);
  if (errno != 0 || end == nullptr || *end != '\0' || value >= 0x80000000ull) return false;
  *name = right;
  *mask = static_cast<uint32_t>(value);
  return true;
}

std::vector<UserStore::User> UserStore::Parse(const std::string& text, std::vector<std::string>* problems) {
  std::vector<User> users;
  std::istringstream in(text);
  std::string line;
  int number = 0;
  while (std::getline(in, line)) {
    ++number;
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line.empty() || line[0] == '#') continue;
    const size_t first = line.find(':');
    const size_t second = first == std::string::npos ? std::string::npos : line.find(':', first + 1);
    if (second == std::string::npos) {
      if (problems) problems->push_back(StringPrintf("line %d: not name:hash:rights", number));
      continue;
    }
    User user;
    user.name = line.substr(0, first);
    user.hash = line.substr(first + 1, second - first - 1);
    if (!IsValidName(user.name)) {
      if (problems) problems->push_back(StringPrintf("line %d: invalid user name", number));
      continue;
    }
    bool duplicate = false;
    for (const User& other : users) duplicate = duplicate || other.name == user.name;
    if (duplicate) {
      if (problems) problems->push_back(StringPrintf("line %d: user %s listed twice", number, user.name.c_str()));
      continue;
    }
    const std::string rights = line.substr(second + 1);
    bool bad = false;
    size_t pos = 0;
    while (pos < rights.size()) {
      size_t end = rights.find(',', pos);
      if (end == std::string::npos) end = rights.size();
      std::string name;
      uint32_t mask = 0;
      if (ParseRight(rights.substr(pos, end - pos), &name, &mask)) {
        user.rights[name] = mask;
      } else {
        bad = true;
      }
      pos = end + 1;
    }
    if (bad && problems) problems->push_back(StringPrintf("line %d: a rights entry is invalid and was ignored", number));
    users.push_back(std::move(user));
  }
  return users;
}

std::string UserStore::Format(const std::vector<User>& users) {
  std::string out = "# Web server users: name:password-hash:right=mask,... (managed with korusers)\n";
  for (const User& user : users) {
    out += user.name + ":" + user.hash + ":";
    bool first = true;
    for (const auto& [right, mask] : user.rights) {
      if (!first) out += ",";
      out += StringPrintf("%s=0x%08x", right.c_str(), mask);
      first = false;
    }
    out += "\n";
  }
  return out;
}

uint32_t UserStore::MaskFor(const User& user, const std::string& right) {
  auto it = user.rights.find(right);
  if (it != user.rights.end()) return it->second;
  it = user.rights.find("*");
  return it != user.rights.end() ? it->second : 0;
}

bool UserStore::Exists() const { return file_.Exists(); }

void UserStore::ReloadIfChangedLocked() {
  // A file that is there but cannot be read holds no user anyone may log
  // in as: the list kept from an earlier reading would be out of date.
  std::string text;
  if (file_.Reread(&text, "The web server cannot read its users file %s. Nobody can log in until it can be read.")) users_ = Parse(text, nullptr);
}

std::optional<UserStore::User> UserStore::Find(const std::string& name) {
  std::lock_guard<std::mutex> lock(mutex_);
  ReloadIfChangedLocked();
  for (const User& user : users_) {
    if (user.name == name) return user;
  }
  return std::nullopt;
}

std::vector<UserStore::User> UserStore::All() {
  std::lock_guard<std::mutex> lock(mutex_);
  ReloadIfChangedLocked();
  return users_;
}

int UserStore::Edit(const std::function<bool(std::vector<User>& users, std::string* error)>& change,
                    std::string* error) {
  return file_.Edit(
      [&](std::string& text, std::string* refused) {
        std::vector<User> users = Parse(text, nullptr);
        if (!change(users, refused)) return false;
        text = Format(users);
        return true;
      },
      error);
}

}  // namespace orla
