#pragma once
// The agent's SNMPv2c and SNMPv3 notification targets (beside the SNMPv1
// trap hosts of client.ini), kept in their own owner-only file in the agent
// directory ("targets.ini", AgentLayout::NotificationTargetFile), one target
// a line: "HOST PORT KIND CREDENTIAL", KIND one of v2c-trap, v2c-inform,
// v3-trap, v3-inform, CREDENTIAL the community (v2c) or the name of an
// SNMPv3 profile (v3). Empty lines and lines starting with '#' are skipped.
// A target is named by "HOST:PORT"; one target per name. The file is
// written by korsnmpv3 and the targets page and read again by the agent
// whenever it changed.
#include <string>
#include <vector>

namespace orla {

class NotificationTargetList {
 public:
  enum class Kind { kV2cTrap, kV2cInform, kV3Trap, kV3Inform };
  struct Target {
    std::string host;
    int port = 162;
    Kind kind = Kind::kV2cTrap;
    std::string credential;  // community or profile name
  };

  static const char* KindName(Kind kind);
  static bool IsInform(Kind kind) { return kind == Kind::kV2cInform || kind == Kind::kV3Inform; }
  static bool IsV3(Kind kind) { return kind == Kind::kV3Trap || kind == Kind::kV3Inform; }
  // "HOST:PORT" (an IPv6 address in brackets).
  static std::string Name(const Target& target);
  // The other way: "HOST:PORT" or "[IPv6]:PORT" into host and port; false
  // with *error otherwise.
  static bool ParseName(const std::string& name, std::string* host, int* port, std::string* error);

  // Parses the file's text. False, with *error naming the line, when a line
  // is malformed or names a target twice; *this is left as it was then.
  bool Parse(const std::string& text, std::string* error);
  std::string Format() const;
  // Reads `path` (missing: no targets). False with *error when unreadable
  // or malformed.
  bool Load(const std::string& path, std::string* error);
  // Writes `path` atomically, owner-only (0600). False with *error.
  bool Save(const std::string& path, std::string* error) const;

  // Adds or replaces the target of the same name. False with *error when
  // a field is not valid (empty host, port out of range, credential empty
  // or with blanks).
  bool Put(const Target& target, std::string* error);
  // Removes the target named `name` ("HOST:PORT"); false when none.
  bool Remove(const std::string& name);

  const std::vector<Target>& Targets() const { return targets_; }

 private:
  static bool Valid(const Target& target, std::string* error);

  std::vector<Target> targets_;
};

}  // namespace orla
