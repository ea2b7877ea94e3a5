#include "agent/alarms/alerting_config.h"

#include <sys/stat.h>

#include <cerrno>
#include <sstream>

#include "platform/text/regular_file.h"
#include "platform/text/setting_lines.h"

namespace orla {

namespace {

bool IsHttpUrl(const std::string& url) {
  for (const char* scheme : {"http://", "https://"}) {
    const std::string prefix = scheme;
    if (url.compare(0, prefix.size(), prefix) == 0 && url.size() > prefix.size()) return true;
  }
  return false;
}

}  // namespace

AlertingConfig AlertingConfig::Parse(const std::string& text, std::vector<std::string>* errors) {
  AlertingConfig config;
  // Whether the last alertmanager line was good: file lines after a bad
  // one are left out with it, silently.
  bool lastGood = false;
  bool sawAlertmanager = false;
  SettingLines::ForEach(text, [&](int number, const std::string& line) {
    std::istringstream fields(line);
    std::string setting, value, extra;
    fields >> setting >> value;
    std::string why;
    if (setting != "alertmanager" && setting != "bearer-token-file" && setting != "basic-auth-file" &&
        setting != "ca-file") {
      why = "unknown setting \"" + setting + "\"";
    } else if (value.empty() || (fields >> extra)) {
      why = "expected \"" + setting + (setting == "alertmanager" ? " URL\"" : " PATH\"");
    } else if (setting == "alertmanager") {
      lastGood = false;
      sawAlertmanager = true;
      while (value.size() > 1 && value.back() == '/') value.pop_back();
      if (!IsHttpUrl(value)) {
        why = "\"" + value + "\" is not an http or https URL";
      } else {
        for (const Alertmanager& known : config.alertmanagers_) {
          if (known.url == value) why = value + " is named twice";
        }
      }
      if (why.empty()) {
        config.alertmanagers_.push_back(Alertmanager{value, "", "", ""});
        lastGood = true;
      }
    } else if (!sawAlertmanager) {
      why = setting + " must follow an alertmanager line";
    } else if (lastGood) {
      Alertmanager& target = config.alertmanagers_.back();
      std::string* field = setting == "bearer-token-file" ? &target.bearerTokenFile
                           : setting == "basic-auth-file" ? &target.basicAuthFile
                                                          : &target.caFile;
      if (!field->empty()) {
        why = setting + " is given twice for " + target.url;
      } else if ((setting == "bearer-token-file" && !target.basicAuthFile.empty()) ||
                 (setting == "basic-auth-file" && !target.bearerTokenFile.empty())) {
        why = "an Alertmanager takes a bearer token or basic authentication, not both";
      } else {
        *field = value;
      }
    }
    if (!why.empty() && errors != nullptr) errors->push_back("line " + std::to_string(number) + ": " + why);
    return true;
  });
  return config;
}

AlertingConfig AlertingConfig::Read(const std::string& path, std::vector<std::string>* errors) {
  std::string text;
  const int error = RegularFile::Read(path, &text, true, 1 << 20);
  if (error == ENOENT) return AlertingConfig();
  if (error != 0) {
    if (errors != nullptr) errors->push_back(RegularFile::Describe(path, error));
    return AlertingConfig();
  }
  return Parse(text, errors);
}

std::string AlertingConfig::Stamp(const std::string& path) {
  struct stat info {};
  if (::stat(path.c_str(), &info) != 0) return "0";
  return std::to_string(info.st_size) + ":" + std::to_string(info.st_mtim.tv_sec) + "." +
         std::to_string(info.st_mtim.tv_nsec) + ":" + std::to_string(info.st_ino);
}

bool AlertingConfig::ReadSecret(const std::string& path, std::string* secret, std::string* error) {
  std::string text;
  const int failed = RegularFile::Read(path, &text, true, 64 * 1024);
  if (failed != 0) {
    *error = RegularFile::Describe(path, failed);
    return false;
  }
  const size_t end = text.find_first_of("\r\n");
  if (end != std::string::npos) text.resize(end);
  if (text.empty()) {
    *error = path + ": the file is empty";
    return false;
  }
  *secret = text;
  return true;
}

std::vector<std::string> AlertingConfig::Describe() const {
  std::vector<std::string> lines;
  for (const Alertmanager& am : alertmanagers_) {
    std::vector<std::string> how;
    if (!am.bearerTokenFile.empty()) how.push_back("bearer token from " + am.bearerTokenFile);
    if (!am.basicAuthFile.empty()) how.push_back("basic authentication from " + am.basicAuthFile);
    if (!am.caFile.empty()) how.push_back("CA file " + am.caFile);
    std::string line = am.url;
    for (size_t i = 0; i < how.size(); ++i) line += (i == 0 ? " (" : ", ") + how[i];
    if (!how.empty()) line += ")";
    lines.push_back(line);
  }
  return lines;
}

bool AlertingConfig::operator==(const AlertingConfig& other) const {
  if (alertmanagers_.size() != other.alertmanagers_.size()) return false;
  for (size_t i = 0; i < alertmanagers_.size(); ++i) {
    const Alertmanager& a = alertmanagers_[i];
    const Alertmanager& b = other.alertmanagers_[i];
    if (a.url != b.url || a.bearerTokenFile != b.bearerTokenFile || a.basicAuthFile != b.basicAuthFile ||
        a.caFile != b.caFile) {
      return false;
    }
  }
  return true;
}

}  // namespace orla
