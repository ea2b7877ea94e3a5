#include "library_users.h"

#include <string.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <sstream>

#include "web_page.h"

namespace orla {

namespace {

template <size_t N>
void Put(char (&field)[N], const std::string& text) {
  const size_t n = std::min(text.size(), N - 1);
  std::memcpy(field, text.data(), n);
  field[n] = '\0';
}

ZEPA_USERS_REQUEST Record(uint32_t action, const std::string& name = std::string()) {
  ZEPA_USERS_REQUEST record;
  std::memset(&record, 0, sizeof(record));
  record.cbSize = sizeof(record);
  record.dwAction = action;
  Put(record.szRight, WebPage::kRightName);
  Put(record.szName, name);
  return record;
}

constexpr const char* kLevels[] = {"none", "reader", "operator", "administrator"};

}  // namespace

std::string LibraryUsers::Result::What() const {
  std::string what = text;
  if (!what.empty() && what.back() == '.') what.pop_back();
  if (!what.empty() && what[0] >= 'A' && what[0] <= 'Z') what[0] = static_cast<char>(what[0] - 'A' + 'a');
  return what;
}

uint32_t LibraryUsers::LevelNumber(const std::string& name) {
  for (uint32_t i = 0; i < 4; ++i) {
    if (name == kLevels[i]) return i;
  }
  return kUnknownLevel;
}

LibraryUsers::Result LibraryUsers::Call(ZEPA_USERS_REQUEST& record) const {
  Result result;
  int ok = 0;
  int error = EINVAL;
  if (request_ != nullptr && request_->ServerSupportFunction != nullptr) {
    ok = request_->ServerSupportFunction(request_->ConnID, REQ_MANAGE_USERS, &record, nullptr, nullptr);
    error = errno;
  }
  // The passwords go as soon as the library has them.
  explicit_bzero(record.szPassword, sizeof(record.szPassword));
  explicit_bzero(record.szCurrentPassword, sizeof(record.szCurrentPassword));
  if (!ok) {
    result.status = error == ENOBUFS ? 507 : 500;
    result.text = "The web server did not answer the users request.";
    return result;
  }
  result.status = static_cast<int>(record.dwStatus);
  result.text.assign(record.szText, strnlen(record.szText, sizeof(record.szText)));
  result.field.assign(record.szField, strnlen(record.szField, sizeof(record.szField)));
  result.count = record.dwCount;
  return result;
}

LibraryUsers::Result LibraryUsers::List(std::vector<User>* users) const {
  users->clear();
  // The list grows with the users file: asked again with the size the
  // library says it needs (once more should the file grow in between).
  std::string buffer(16u << 10, '\0');
  for (int attempt = 0; attempt < 3; ++attempt) {
    ZEPA_USERS_REQUEST record = Record(ZEPA_USERS_LIST);
    record.lpszList = buffer.data();
    record.cbList = static_cast<uint32_t>(buffer.size());
    Result result = Call(record);
    if (result.status == 507 && record.cbList > buffer.size() && record.cbList <= (16u << 20)) {
      buffer.assign(record.cbList, '\0');
      continue;
    }
    if (!result.Ok()) return result;
    std::istringstream lines(std::string(buffer.c_str()));
    std::string line;
    while (std::getline(lines, line)) {
      const size_t tab = line.find('\t');
      if (tab == std::string::npos) continue;
      users->push_back(User{line.substr(0, tab), line.substr(tab + 1)});
    }
    return result;
  }
  Result busy;
  busy.text = "The users file kept growing while it was read.";
  return busy;
}

LibraryUsers::Result LibraryUsers::Add(const std::string& name, const std::string& password,
                                       const std::string& level) const {
  ZEPA_USERS_REQUEST record = Record(ZEPA_USERS_ADD, name);
  Put(record.szPassword, password);
  record.dwLevel = LevelNumber(level);
  return Call(record);
}

LibraryUsers::Result LibraryUsers::Remove(const std::string& name) const {
  ZEPA_USERS_REQUEST record = Record(ZEPA_USERS_REMOVE, name);
  return Call(record);
}

LibraryUsers::Result LibraryUsers::SetLevel(const std::string& name, const std::string& level) const {
  ZEPA_USERS_REQUEST record = Record(ZEPA_USERS_SET_LEVEL, name);
  record.dwLevel = LevelNumber(level);
  return Call(record);
}

LibraryUsers::Result LibraryUsers::SetPassword(const std::string& name, const std::string& password) const {
  ZEPA_USERS_REQUEST record = Record(ZEPA_USERS_SET_PASSWORD, name);
  Put(record.szPassword, password);
  return Call(record);
}

LibraryUsers::Result LibraryUsers::EndSessions(const std::string& name) const {
  ZEPA_USERS_REQUEST record = Record(ZEPA_USERS_END_SESSIONS, name);
  return Call(record);
}

LibraryUsers::Result LibraryUsers::ChangeOwnPassword(const std::string& current, const std::string& password) const {
  ZEPA_USERS_REQUEST record = Record(ZEPA_USERS_CHANGE_OWN_PASSWORD);
  Put(record.szCurrentPassword, current);
  Put(record.szPassword, password);
  return Call(record);
}

}  // namespace orla
