#include "agent/core/audit_trail.h"

#include <unistd.h>

#include <mutex>

#include "agent/core/agent_settings.h"
#include "agent/core/event_log.h"
#include "platform/eventlog/event_log_writer.h"
#include "platform/eventlog/json_lines_file.h"
#include "platform/sync/clock.h"
#include "platform/sysinfo/sudo_caller.h"

namespace orla {

namespace {

std::mutex& ChangeFileMutex() {
  static std::mutex mutex;
  return mutex;
}

std::string& ChangeFileName() {
  static std::string name;
  return name;
}

JsonLinesFile::Options ChangeFileOptions() {
  JsonLinesFile::Options options;
  options.maxBytes = AuditTrail::kChangeFileBytes;
  options.files = AuditTrail::kChangeFiles;
  options.mode = 0600;
  options.regularOnly = true;
  return options;
}

}  // namespace

void AuditTrail::SetChangeFile(const std::string& path) {
  std::lock_guard<std::mutex> hold(ChangeFileMutex());
  ChangeFileName() = path;
}

std::vector<std::string> AuditTrail::ChangeFilePaths() {
  std::lock_guard<std::mutex> hold(ChangeFileMutex());
  if (ChangeFileName().empty()) return {};
  return JsonLinesFile::Paths(ChangeFileName(), kChangeFiles);
}

std::string AuditTrail::Text(const Actor& who, const std::string& what) {
  const std::string user = who.user.empty() ? "an unknown user" : who.user;
  const std::string address = who.address.empty() ? "an unknown address" : who.address;
  std::string text = kTextStart + user + " from " + address + ": " + what;
  if (text.empty() || text.back() != '.') text += '.';
  return text;
}

int AuditTrail::Record(const Actor& who, const std::string& what, const std::string& element,
                       const std::string& elementAddress) {
  EventOrigin origin;
  origin.kind = "change";
  origin.element = element;
  origin.address = elementAddress;
  const std::string text = Text(who, what);
  EventLog::Write(EventLog::kInfo, text, nullptr, 0, origin);
  std::string path;
  {
    std::lock_guard<std::mutex> hold(ChangeFileMutex());
    path = ChangeFileName();
  }
  if (path.empty()) return 0;
  // The event-log line's fields, then the origin and the writing process
  // (the agent's console takes in the tools' changes, not its own twice).
  std::string line = EventLogWriter::JsonLine(EventLogWriter::IsoTime(Clock::System()->WallMilliseconds()),
                                              "KORAgent", 4, 0, EventLog::kEventIdPlain, "INFO: " + text, nullptr, 0);
  line.pop_back();
  line += ",\"kind\":\"change\",\"element\":\"" + EventLogWriter::JsonEscape(element) + "\",\"address\":\"" +
          EventLogWriter::JsonEscape(elementAddress) + "\",\"pid\":" + std::to_string(::getpid()) + "}";
  return JsonLinesFile::Append(path, line, ChangeFileOptions(), nullptr);
}

AuditTrail::Actor AuditTrail::LocalUser() {
  Actor actor;
  actor.address = "this host";
  actor.user = SudoCaller::Name(SudoCaller::User(SudoCaller::OfThisProcess(AgentSettings::Current().SudoUid())));
  return actor;
}

}  // namespace orla
