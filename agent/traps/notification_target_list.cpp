#include "agent/traps/notification_target_list.h"

#include <cerrno>
#include <cstring>
#include <fstream>
#include <sstream>

#include "platform/text/atomic_file.h"
#include "platform/text/regular_file.h"
#include "platform/text/setting_lines.h"

namespace orla {

namespace {

constexpr NotificationTargetList::Kind kKinds[] = {
    NotificationTargetList::Kind::kV2cTrap, NotificationTargetList::Kind::kV2cInform,
    NotificationTargetList::Kind::kV3Trap, NotificationTargetList::Kind::kV3Inform};

bool ParseKind(const std::string& text, NotificationTargetList::Kind* kind) {
  for (const auto k : kKinds) {
    if (text == NotificationTargetList::KindName(k)) {
      *kind = k;
      return true;
    }
  }
  return false;
}

bool ParsePort(const std::string& text, int* port) {
  if (text.empty() || text.size() > 5 || text.find_first_not_of("0123456789") != std::string::npos) return false;
  *port = std::stoi(text);
  return true;
}

}  // namespace

const char* NotificationTargetList::KindName(Kind kind) {
  switch (kind) {
    case Kind::kV2cTrap: return "v2c-trap";
    case Kind::kV2cInform: return "v2c-inform";
    case Kind::kV3Trap: return "v3-trap";
    case Kind::kV3Inform: return "v3-inform";
  }
  return "v2c-trap";
}

std::string NotificationTargetList::Name(const Target& target) {
  const bool v6 = target.host.find(':') != std::string::npos;
  return (v6 ? "[" + target.host + "]" : target.host) + ":" + std::to_string(target.port);
}

bool NotificationTargetList::ParseName(const std::string& name, std::string* host, int* port, std::string* error) {
  const size_t colon = name.rfind(':');
  std::string h = colon == std::string::npos ? std::string() : name.substr(0, colon);
  if (h.size() > 2 && h.front() == '[' && h.back() == ']') {
    h = h.substr(1, h.size() - 2);
  } else if (h.find(':') != std::string::npos) {
    h.clear();  // an IPv6 address needs its brackets
  }
  if (h.empty() || !ParsePort(name.substr(colon + 1), port) || *port < 1 || *port > 65535) {
    *error = "\"" + name + "\" is not HOST:PORT";
    return false;
  }
  *host = h;
  return true;
}

bool NotificationTargetList::Valid(const Target& target, std::string* error) {
  const auto blank = [](const std::string& s) { return s.find_first_of(" \t\r\n") != std::string::npos; };
  if (target.host.empty() || blank(target.host)) {
    *error = "the host is empty or has blanks";
  } else if (target.port < 1 || target.port > 65535) {
    *error = "the port is not between 1 and 65535";
  } else if (target.credential.empty() || blank(target.credential)) {
    *error = IsV3(target.kind) ? "the profile name is empty or has blanks" : "the community is empty or has blanks";
  } else {
    return true;
  }
  return false;
}

bool NotificationTargetList::Parse(const std::string& text, std::string* error) {
  NotificationTargetList parsed;
  const bool read = SettingLines::ForEach(text, [&](int number, const std::string& line) {
    std::istringstream fields(line);
    Target target;
    std::string port, kind, extra;
    std::string why;
    if (!(fields >> target.host >> port >> kind >> target.credential) || (fields >> extra)) {
      why = "expected HOST PORT KIND CREDENTIAL";
    } else if (!ParsePort(port, &target.port)) {
      why = "the port is not a number";
    } else if (!ParseKind(kind, &target.kind)) {
      why = "unknown kind \"" + kind + "\"";
    } else if (!Valid(target, &why)) {
    } else {
      for (const Target& t : parsed.targets_) {
        if (Name(t) == Name(target)) why = Name(target) + " is named twice";
      }
    }
    if (!why.empty()) {
      *error = "line " + std::to_string(number) + ": " + why;
      return false;
    }
    parsed.targets_.push_back(target);
    return true;
  });
  if (!read) return false;
  targets_ = std::move(parsed.targets_);
  return true;
}

std::string NotificationTargetList::Format() const {
  std::string text = "# Notification targets: HOST PORT KIND COMMUNITY-OR-PROFILE\n";
  for (const Target& t : targets_) {
    text += t.host + " " + std::to_string(t.port) + " " + KindName(t.kind) + " " + t.credential + "\n";
  }
  return text;
}

bool NotificationTargetList::Load(const std::string& path, std::string* error) {
  std::string text;
  if (const int err = RegularFile::Read(path, &text); err != 0) {
    if (err == ENOENT) {
      targets_.clear();
      return true;
    }
    *error = RegularFile::Describe(path, err);
    return false;
  }
  if (!Parse(text, error)) {
    *error = path + ": " + *error;
    return false;
  }
  return true;
}

bool NotificationTargetList::Save(const std::string& path, std::string* error) const {
  const int rc = AtomicFile::Write(path, Format(), 0600);
  if (rc != 0) {
    *error = path + ": " + std::strerror(rc);
    return false;
  }
  return true;
}

bool NotificationTargetList::Put(const Target& target, std::string* error) {
  if (!Valid(target, error)) return false;
  for (Target& t : targets_) {
    if (Name(t) == Name(target)) {
      t = target;
      return true;
    }
  }
  targets_.push_back(target);
  return true;
}

bool NotificationTargetList::Remove(const std::string& name) {
  for (auto it = targets_.begin(); it != targets_.end(); ++it) {
    if (Name(*it) == name) {
      targets_.erase(it);
      return true;
    }
  }
  return false;
}

}  // namespace orla
