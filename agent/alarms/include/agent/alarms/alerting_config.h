#pragma once
// AlertingConfig: the Alertmanagers the agent pushes its alarms to, as
// "alerting.conf" in the agent directory names them. One setting a line
// (empty lines and lines starting with '#' skipped):
//   alertmanager URL           an Alertmanager (http or https, its base URL:
//                              the API is URL/api/v2/...)
//   bearer-token-file PATH     the token to send as "Authorization: Bearer"
//   basic-auth-file PATH       "user:password" for basic authentication
//   ca-file PATH               PEM bundle that vouches for an https peer
// The three file lines apply to the alertmanager line above them. The files
// hold the secrets, read at each send (so a rotated token is taken up), and
// are never shown: the configuration page shows the URL and the files'
// paths only. A bad line is reported with its number and left out; the
// good lines still count.
#include <cstdint>
#include <string>
#include <vector>

#include "agent/core/agent_layout.h"

namespace orla {

class AlertingConfig {
 public:
  static constexpr const char* kFileName = AgentLayout::kAlertingFileName;

  struct Alertmanager {
    std::string url;  // without a trailing '/'
    std::string bearerTokenFile;
    std::string basicAuthFile;
    std::string caFile;
  };

  // Reads the text of the file; `errors` gets one "line N: ..." text per
  // bad line.
  static AlertingConfig Parse(const std::string& text, std::vector<std::string>* errors);
  // Reads `path`: a missing file is an empty configuration without errors;
  // one that cannot be read gives one error naming it.
  static AlertingConfig Read(const std::string& path, std::vector<std::string>* errors);
  // What identifies the file's present version (size, time and inode of
  // its last change; 0 when missing): a different stamp means re-read.
  static std::string Stamp(const std::string& path);

  // The first line of a secret file, without its line end; false with
  // *error saying why when it cannot be read or is empty.
  static bool ReadSecret(const std::string& path, std::string* secret, std::string* error);

  // One line per Alertmanager for the configuration page: the URL and how
  // it is reached, never a secret ("http://am:9093 (bearer token from
  // /etc/kor/token, CA file /etc/kor/ca.pem)").
  std::vector<std::string> Describe() const;

  const std::vector<Alertmanager>& Alertmanagers() const { return alertmanagers_; }
  bool operator==(const AlertingConfig& other) const;

 private:
  std::vector<Alertmanager> alertmanagers_;
};

}  // namespace orla
