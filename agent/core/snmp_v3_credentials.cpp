#include "agent/core/snmp_v3_credentials.h"

#include <arpa/inet.h>

#include <algorithm>
#include <map>
#include <sstream>

#include "platform/text/string_printf.h"
#include "platform/text/url_decoding.h"

namespace orla {

namespace {

constexpr char kHex[] = "0123456789ABCDEF";

std::string Encode(const std::string& value) {
  std::string out;
  for (unsigned char c : value) {
    if (c < 0x21 || c > 0x7e || c == '%') {
      out += '%';
      out += kHex[c >> 4];
      out += kHex[c & 15];
    } else {
      out += static_cast<char>(c);
    }
  }
  return out;
}

bool Decode(const std::string& text, std::string* out) {
  out->clear();
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] != '%') {
      *out += text[i];
      continue;
    }
    if (i + 2 >= text.size()) return false;
    const int high = UrlDecoding::HexDigit(text[i + 1]);
    const int low = UrlDecoding::HexDigit(text[i + 2]);
    if (high < 0 || low < 0) return false;
    *out += static_cast<char>(high * 16 + low);
    i += 2;
  }
  return true;
}

bool ParseAddress(const std::string& text, uint32_t* address) {
  in_addr parsed{};
  if (inet_pton(AF_INET, text.c_str(), &parsed) != 1) return false;
  *address = ntohl(parsed.s_addr);
  return true;
}

std::string AddressText(uint32_t address) {
  in_addr out{};
  out.s_addr = htonl(address);
  char text[INET_ADDRSTRLEN] = {};
  inet_ntop(AF_INET, &out, text, sizeof(text));
  return text;
}

uint32_t Mask(int bits) { return bits == 0 ? 0u : ~0u << (32 - bits); }

// The fields of one record: "key=value" words after the record's kind.
// False, with *error naming the field, for a word that is not one.
bool SplitFields(std::istringstream& words, std::map<std::string, std::string>* fields, std::string* error) {
  std::string word;
  while (words >> word) {
    const size_t equals = word.find('=');
    if (equals == std::string::npos || equals == 0) {
      *error = "a field is not key=value";
      return false;
    }
    const std::string key = word.substr(0, equals);
    std::string value;
    if (!Decode(word.substr(equals + 1), &value)) {
      *error = "field " + key + " has a bad %-escape";
      return false;
    }
    if (!fields->emplace(key, value).second) {
      *error = "field " + key + " is given twice";
      return false;
    }
  }
  return true;
}

std::string ParseProfile(std::map<std::string, std::string> fields, SnmpV3Profile* profile) {
  auto take = [&fields](const char* key, std::string* value) {
    auto it = fields.find(key);
    if (it == fields.end()) return false;
    *value = it->second;
    fields.erase(it);
    return true;
  };
  std::string text;
  if (!take("name", &profile->name)) return "a profile without name=";
  if (!take("user", &profile->user)) return "profile " + profile->name + " has no user=";
  if (!take("level", &text) || !SnmpV3Profile::ParseLevel(text, &profile->level)) {
    return "profile " + profile->name + " has no valid level=";
  }
  if (take("auth", &text) && !SnmpV3Profile::ParseAuth(text, &profile->auth)) {
    return "profile " + profile->name + " has an unknown auth=";
  }
  if (take("priv", &text) && !SnmpV3Profile::ParsePriv(text, &profile->priv)) {
    return "profile " + profile->name + " has an unknown priv=";
  }
  take("auth-pass", &profile->authPassPhrase);
  take("priv-pass", &profile->privPassPhrase);
  take("context", &profile->context);
  if (!fields.empty()) return "profile " + profile->name + " has an unknown field " + fields.begin()->first;
  const std::string error = profile->Check();
  return error.empty() ? "" : "profile " + profile->name + ": " + error;
}

}  // namespace

std::string SnmpV3Credentials::Assignment::TargetText() const {
  if (isDefault) return "default";
  if (bits == 32) return AddressText(address);
  return AddressText(address) + "/" + std::to_string(bits);
}

std::string SnmpV3Credentials::Parse(const std::string& text, SnmpV3Credentials* out) {
  SnmpV3Credentials result;
  std::istringstream lines(text);
  std::string line;
  int number = 0;
  while (std::getline(lines, line)) {
    ++number;
    if (!line.empty() && line.back() == '\r') line.pop_back();
    const size_t first = line.find_first_not_of(" \t");
    if (first == std::string::npos || line[first] == '#') continue;
    std::istringstream words(line);
    std::string kind;
    words >> kind;
    std::string error;
    if (kind == "v3-only") {
      std::string value, extra;
      words >> value;
      if ((value != "on" && value != "off") || (words >> extra)) {
        error = "v3-only is followed by on or off";
      } else {
        result.v3Only_ = value == "on";
      }
    } else if (kind == "profile" || kind == "assign") {
      std::map<std::string, std::string> fields;
      if (SplitFields(words, &fields, &error)) {
        if (kind == "profile") {
          SnmpV3Profile profile;
          error = ParseProfile(std::move(fields), &profile);
          if (error.empty() && result.Find(profile.name) != nullptr) {
            error = "profile " + profile.name + " is given twice";
          }
          if (error.empty()) result.profiles_.push_back(std::move(profile));
        } else if (fields.size() != 2 || !fields.count("profile") || !fields.count("target")) {
          error = "an assignment has exactly profile= and target=";
        } else {
          error = result.Assign(fields["profile"], fields["target"]);
        }
      }
    } else {
      error = "unknown record (profile, assign or v3-only expected)";
    }
    if (!error.empty()) return StringPrintf("line %d: %s", number, error.c_str());
  }
  *out = std::move(result);
  return "";
}

std::string SnmpV3Credentials::Serialise() const {
  std::string out =
      "# SNMPv3 profiles and their assignments. Secrets: keep this file readable\n"
      "# by the agent's user only. Changed with korsnmpv3; the agent reads it again\n"
      "# when it changes.\n";
  for (const SnmpV3Profile& p : profiles_) {
    out += "profile name=" + Encode(p.name) + " user=" + Encode(p.user) +
           " level=" + SnmpV3Profile::LevelText(p.level);
    if (p.auth != SnmpV3Auth::kNone) {
      out += std::string(" auth=") + SnmpV3Profile::AuthText(p.auth) + " auth-pass=" + Encode(p.authPassPhrase);
    }
    if (p.priv != SnmpV3Priv::kNone) {
      out += std::string(" priv=") + SnmpV3Profile::PrivText(p.priv) + " priv-pass=" + Encode(p.privPassPhrase);
    }
    if (!p.context.empty()) out += " context=" + Encode(p.context);
    out += "\n";
  }
  for (const Assignment& a : assignments_) {
    out += "assign profile=" + Encode(a.profile) + " target=" + a.TargetText() + "\n";
  }
  out += std::string("v3-only ") + (v3Only_ ? "on" : "off") + "\n";
  return out;
}

const SnmpV3Profile* SnmpV3Credentials::Find(const std::string& name) const {
  for (const SnmpV3Profile& p : profiles_) {
    if (p.name == name) return &p;
  }
  return nullptr;
}

std::string SnmpV3Credentials::Put(const SnmpV3Profile& profile) {
  const std::string error = profile.Check();
  if (!error.empty()) return error;
  for (SnmpV3Profile& p : profiles_) {
    if (p.name == profile.name) {
      p = profile;
      return "";
    }
  }
  profiles_.push_back(profile);
  return "";
}

std::string SnmpV3Credentials::Remove(const std::string& name) {
  auto it = std::find_if(profiles_.begin(), profiles_.end(), [&](const SnmpV3Profile& p) { return p.name == name; });
  if (it == profiles_.end()) return "no profile " + name;
  for (const Assignment& a : assignments_) {
    if (a.profile == name) return "profile " + name + " is assigned to " + a.TargetText() + " (unassign it first)";
  }
  profiles_.erase(it);
  return "";
}

std::string SnmpV3Credentials::ParseTarget(const std::string& text, Assignment* target) {
  Assignment parsed;
  if (text == "default") {
    parsed.isDefault = true;
    parsed.bits = 0;
    *target = parsed;
    return "";
  }
  const size_t slash = text.find('/');
  const std::string address = text.substr(0, slash);
  if (!ParseAddress(address, &parsed.address)) {
    return "'" + text + "' is not default, an IPv4 address or ADDRESS/BITS";
  }
  if (slash != std::string::npos) {
    const std::string bits = text.substr(slash + 1);
    if (bits.empty() || bits.size() > 2 || bits.find_first_not_of("0123456789") != std::string::npos ||
        std::stoi(bits) > 32) {
      return "'" + text + "': the prefix length is 0 to 32";
    }
    parsed.bits = std::stoi(bits);
    if ((parsed.address & ~Mask(parsed.bits)) != 0) {
      return "'" + text + "' has host bits set (the range starts at " +
             AddressText(parsed.address & Mask(parsed.bits)) + ")";
    }
  }
  *target = parsed;
  return "";
}

std::string SnmpV3Credentials::Assign(const std::string& profile, const std::string& target) {
  if (Find(profile) == nullptr) return "no profile " + profile;
  Assignment parsed;
  const std::string error = ParseTarget(target, &parsed);
  if (!error.empty()) return error;
  parsed.profile = profile;
  for (Assignment& a : assignments_) {
    if (a.isDefault == parsed.isDefault && a.address == parsed.address && a.bits == parsed.bits) {
      a.profile = profile;
      return "";
    }
  }
  assignments_.push_back(parsed);
  return "";
}

std::string SnmpV3Credentials::Unassign(const std::string& target) {
  Assignment parsed;
  const std::string error = ParseTarget(target, &parsed);
  if (!error.empty()) return error;
  for (auto it = assignments_.begin(); it != assignments_.end(); ++it) {
    if (it->isDefault == parsed.isDefault && it->address == parsed.address && it->bits == parsed.bits) {
      assignments_.erase(it);
      return "";
    }
  }
  return "nothing is assigned to " + parsed.TargetText();
}

const SnmpV3Profile* SnmpV3Credentials::ProfileFor(const std::string& address) const {
  uint32_t parsed = 0;
  if (!ParseAddress(address, &parsed)) return nullptr;
  return ProfileFor(parsed);
}

const SnmpV3Profile* SnmpV3Credentials::ProfileFor(uint32_t address) const {
  const Assignment* best = nullptr;
  for (const Assignment& a : assignments_) {
    if ((address & Mask(a.bits)) != a.address) continue;
    if (best == nullptr || a.bits > best->bits) best = &a;
  }
  return best == nullptr ? nullptr : Find(best->profile);
}

}  // namespace orla
