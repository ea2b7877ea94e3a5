#include "users_request.h"

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "../server_context.h"
#include "../users/login_service.h"
#include "../users/user_administration.h"

namespace orla {

namespace {

using Level = UserAdministration::Level;

// A zero-terminated text of a fixed field; false when it has no zero.
template <size_t N>
bool Text(const char (&field)[N], std::string* text) {
  const size_t n = strnlen(field, N);
  if (n == N) return false;
  text->assign(field, n);
  return true;
}

template <size_t N>
void Put(char (&field)[N], const std::string& text) {
  const size_t n = std::min(text.size(), N - 1);
  std::memcpy(field, text.data(), n);
  field[n] = '\0';
}

int Answer(ZEPA_USERS_REQUEST* record, const UserAdministration::Outcome& outcome) {
  record->dwStatus = static_cast<uint32_t>(outcome.status);
  Put(record->szText, UserAdministration::Sentence(outcome.text));
  Put(record->szField, outcome.field);
  return 1;
}

int Fail(int error) {
  errno = error;
  return 0;
}

}  // namespace

int UsersRequest::Serve(ServerContext& server, const std::optional<SessionTable::Session>& session,
                        const std::string& tokenUser, const std::string& address, ZEPA_USERS_REQUEST* record) {
  if (record == nullptr || record->cbSize != sizeof(ZEPA_USERS_REQUEST)) return Fail(EINVAL);
  std::string right, name, password, current;
  if (!Text(record->szRight, &right) || !Text(record->szName, &name) || !Text(record->szPassword, &password) ||
      !Text(record->szCurrentPassword, &current) || right == "*" || !UserStore::IsValidRightName(right)) {
    return Fail(EINVAL);
  }
  record->dwStatus = 0;
  record->dwCount = 0;
  record->szField[0] = '\0';
  record->szText[0] = '\0';

  LoginService& logins = server.Logins();
  UserAdministration administration(logins.Users(), right);
  const uint32_t rights = session || tokenUser.empty() ? logins.RightsFor(session, right)
                                                        : logins.UserRights(tokenUser, right);
  if (rights == ZEPA_RIGHTS_NO_SESSION || (!session && record->dwAction == ZEPA_USERS_CHANGE_OWN_PASSWORD)) {
    return Answer(record, {401, "you are not signed in", ""});
  }
  if (record->dwAction == ZEPA_USERS_CHANGE_OWN_PASSWORD) {
    const auto check = [&](const std::string& user, const std::string& password) {
      std::optional<UserStore::User> found;
      return logins.CheckPassword(address, user, password, &found) == LoginService::Check::kOk;
    };
    return Answer(record, administration.ChangeOwnPassword(session->user, current, password, check));
  }
  if (UserAdministration::LevelOfMask(rights) != Level::kAdministrator) {
    return Answer(record, {403, "only an administrator manages users", ""});
  }
  const uint32_t level = record->dwLevel;
  if ((record->dwAction == ZEPA_USERS_ADD || record->dwAction == ZEPA_USERS_SET_LEVEL) &&
      level > ZEPA_USER_LEVEL_ADMINISTRATOR) {
    return Answer(record, {400, "the level is not one of administrator, operator, reader or none", "level"});
  }
  switch (record->dwAction) {
    case ZEPA_USERS_LIST: {
      std::string list;
      uint32_t count = 0;
      for (const UserAdministration::Entry& entry : administration.List()) {
        list += entry.name + "\t" + UserAdministration::LevelName(entry.level) + "\n";
        ++count;
      }
      if (record->lpszList == nullptr || record->cbList < list.size() + 1) {
        record->cbList = static_cast<uint32_t>(list.size() + 1);
        return Fail(ENOBUFS);
      }
      std::memcpy(record->lpszList, list.c_str(), list.size() + 1);
      record->cbList = static_cast<uint32_t>(list.size() + 1);
      record->dwCount = count;
      return Answer(record, {200, "listed the users", ""});
    }
    case ZEPA_USERS_ADD:
      return Answer(record, administration.Add(name, password, static_cast<Level>(level)));
    case ZEPA_USERS_REMOVE: {
      UserAdministration::Outcome outcome = administration.Remove(name);
      // The user's tokens go with the user (a user of that name added later
      // gets none of them).
      std::string error;
      if (outcome.Ok() && server.RevokeTokensOf(name, &error) < 0) {
        outcome = {500, outcome.text + ", but its tokens were not revoked: " + error, ""};
      }
      return Answer(record, outcome);
    }
    case ZEPA_USERS_SET_LEVEL:
      return Answer(record, administration.SetLevel(name, static_cast<Level>(level)));
    case ZEPA_USERS_SET_PASSWORD:
      return Answer(record, administration.SetPassword(name, password));
    case ZEPA_USERS_END_SESSIONS: {
      size_t ended = 0;
      const UserAdministration::Outcome outcome = administration.EndSessions(name, [&](const std::string& user) {
        ended = logins.EndSessions(user);
        return ended;
      });
      record->dwCount = static_cast<uint32_t>(ended);
      return Answer(record, outcome);
    }
    default:
      return Fail(EINVAL);
  }
}

}  // namespace orla
