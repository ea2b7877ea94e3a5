#pragma once
// The audit trail: every change an operator makes through the web pages or
// the agent's tools is one INFO event of the kind "change", reading
// "Change by USER from ADDRESS: WHAT." (WHAT says what changed, never a
// password, token or key). The events console filters them as "Changes".
//
// Besides the event log (journal, KORAGENT_EVENT_LOG file, the agent's
// ring), every change goes to the change file "changes.jsonl" in the agent
// directory: owner-only, appended line by line (O_APPEND, no link followed),
// bounded and rotated on its own (kChangeFileBytes over kChangeFiles files),
// so traffic in the event log (a trap flood) never rotates a change away.
// The agent and its tools write it alike, whatever their environment; the
// events console reads it for the changes.
#include <cstdint>
#include <string>
#include <vector>

namespace orla {

class AuditTrail {
 public:
  // Who asked for a change: the user's name and the address the request
  // came from ("this host" for a tool run on the agent's machine).
  struct Actor {
    std::string user;
    std::string address;
  };

  // The event text's start, by which a line of the event-log file is
  // known as a change.
  static constexpr const char* kTextStart = "Change by ";

  // The change file's bound: the live file and its older ones together.
  static constexpr uint64_t kChangeFileBytes = 4 * 1024 * 1024;
  static constexpr int kChangeFiles = 4;

  // The change file of this process from now on (the agent directory's
  // "changes.jsonl"); empty for none (the initial state).
  static void SetChangeFile(const std::string& path);
  // It and its older files, newest first; empty when none is set.
  static std::vector<std::string> ChangeFilePaths();

  // Writes the event; `element` and `elementAddress` name the element the
  // change concerns, when there is one (the events console's element filter
  // then finds it). Returns 0, or the error number of writing the change
  // file (the event log still has the event).
  static int Record(const Actor& who, const std::string& what, const std::string& element = std::string(),
                    const std::string& elementAddress = std::string());
  // The text Record writes (without the severity prefix).
  static std::string Text(const Actor& who, const std::string& what);
  // The user running a tool on this host: the login name of the real user
  // id, or the caller of sudo when the tool runs as root through sudo (see
  // SudoCaller; SUDO_UID is never taken alone). A tool asks before it
  // switches to the agent directory's owner.
  static Actor LocalUser();
};

}  // namespace orla
