#include "agent_core.h"

#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <new>
#include <vector>

#include "agent/alarms/alarm_change_relay.h"
#include "agent/core/agent_settings.h"
#include "agent/core/audit_trail.h"
#include "agent/core/event_log.h"
#include "agent/core/maintenance_book.h"
#include "agent/core/polling_interval_file.h"
#include "agent/core/snmp_v3_credential_store.h"
#include "agent/devices/element_registry.h"
#include "agent/history/element_history.h"
#include "agent/snmp/local_engine.h"
#include "agent/traps/notification_gate.h"
#include "agent/traps/notification_sender.h"
#include "agent/traps/received_trap_log.h"
#include "agent/traps/trap_destination_list.h"
#include "agent/traps/trap_listener.h"
#include "agent/traps/trap_sender.h"
#include "platform/net/socket_startup.h"
#include "platform/service/process_exit.h"
#include "platform/sync/pause_gate.h"
#include "platform/sysinfo/open_file_limit.h"
#include "platform/sysinfo/system_info.h"
#include "platform/text/atomic_file.h"
#include "platform/text/string_printf.h"

namespace orla {

namespace {

std::string ErrorText(int error) {
  char buffer[256];
  return strerror_r(error, buffer, sizeof buffer);
}

std::string CurrentDirectory() {
  std::vector<char> buffer(256);
  for (;;) {
    if (::getcwd(buffer.data(), buffer.size()) != nullptr) return buffer.data();
    if (errno != ERANGE) return ".";
    buffer.resize(buffer.size() * 2);
  }
}

void Pass(PauseGate* gate) {
  if (gate != nullptr) gate->Pass();
}

}  // namespace

AgentCore* AgentCore::Instance() {
  // Never destroyed: threads created during start-up read it until the
  // process ends.
  static AgentCore* const core = new AgentCore();
  return core;
}

void AgentCore::Start(const std::string& programPath, PauseGate* gate) {
  const int exitCode = StartHost(programPath, gate);
  if (exitCode != 0) ProcessExit::Now(exitCode);
  StartSubsystems(gate);
}

int AgentCore::StartHost(const std::string& programPath, PauseGate* gate) {
  // A service gets 1024 open files by default (the soft limit), far below
  // its hard limit: thousands of elements need more at once.
  OpenFileLimit::Raise();
  Pass(gate);
  EnterProgramDirectory(programPath);
  Pass(gate);
  if (!ReadConfiguration()) return kExitConfiguration;
  RemoveRewriteLeftovers();
  Pass(gate);
  ReadPollingInterval();
  Pass(gate);
  if (!WriteSystemInformation()) return kExitSystemInformation;
  Pass(gate);
  if (!StartSockets()) return kExitSockets;
  return 0;
}

void AgentCore::RemoveRewriteLeftovers() const {
  for (const std::string& file : {layout_.ElementFile(), layout_.TrapDestinationFile(), layout_.PollingIntervalFile(),
                                   layout_.SystemInformationFile(), layout_.SnmpV3File()}) {
    AtomicFile::RemoveLeftovers(file);
  }
}

void AgentCore::StartSubsystems(PauseGate* gate) {
  Pass(gate);
  CreateTrapDestinationList();
  Pass(gate);
  CreateTrapSender();
  Pass(gate);
  if (!PrepareRegistryFilePath()) ProcessExit::Now(kExitRegistryPath);
  Pass(gate);
  CreateElementRegistry();
  Pass(gate);
  StartTrapListener();
}

void AgentCore::CreateTrapDestinationList() {
  auto* destinations = new TrapDestinationList(AgentDirectory());
  TrapDestinationList::SetInstance(destinations);
  destinations->Load();
}

void AgentCore::CreateTrapSender() {
  // The agent's SNMP engine first: every SNMPv3 session (polling, traps,
  // informs) uses its ID and boots.
  LocalEngine engine;
  std::string error;
  if (!LocalEngine::Start(layout_.EngineFile(), &engine, &error)) {
    EventLog::Write(EventLog::kWarning,
                    StringPrintf("The agent's SNMP engine ID could not be kept (%s); SNMPv3 receivers will not know "
                                 "this run's traps.",
                                 error.c_str()));
  }
  // The SNMPv3 profiles: the targets' and, from the registry on, the
  // polling sessions' (a file that cannot be read leaves every device on
  // its community and says why, a WARNING).
  SnmpV3CredentialStore::Instance().Open(layout_.SnmpV3File());
  auto* notifications = new NotificationSender(layout_.NotificationTargetFile());
  NotificationSender::SetInstance(notifications);
  TrapSender::SetInstance(new TrapSender(TrapDestinationList::Instance(), notifications));
  // The maintenance windows: read once per process, never deleted (the
  // pages and the alarms read them as long as the process runs).
  if (MaintenanceBook::Instance() == nullptr) {
    MaintenanceBook::SetInstance(new MaintenanceBook(layout_.MaintenanceFile()));
  }
}

bool AgentCore::PrepareRegistryFilePath() {
  try {
    registryFilePath_ = layout_.ElementFile();
  } catch (const std::bad_alloc&) {
    return false;
  }
  return true;
}

void AgentCore::CreateElementRegistry() {
  // The SNMPv3 profiles the sessions use are open since the trap sender's
  // step (read again whenever korsnmpv3 changes them). Loading recognises and binds every stored element and starts their
  // polling threads.
  auto* registry = new ElementRegistry(RegistryFilePath(), PollingInterval());
  ElementRegistry::SetInstance(registry);
  // Status changes and removals become the agent's own traps, through the
  // gate that damps them and holds back those of elements in maintenance.
  MaintenanceBook* maintenance = MaintenanceBook::Instance();
  const AgentSettings settings = AgentSettings::Current();
  gate_ = new NotificationGate(TrapSender::Instance(), maintenance,
                               {settings.NotifyHoldPolls(), settings.FlapChanges(), settings.FlapMinutes()});
  NotificationGate* gate = gate_;
  if (maintenance != nullptr) {
    maintenance->SetEndListener(
        [gate](const MaintenanceWindow& ended) { gate->WindowEnded(ended.element, ended.endMs); });
    // A window's end is told at its end, not at the next poll after it.
    maintenance->StartEndTimer();
  }
  // A change also sends its alarms to the Alertmanagers at once.
  relay_ = new AlarmChangeRelay(gate_);
  registry->SetStatusChangeListener(relay_);
  // Every poll's counters go to the history files, written by a thread of
  // their own.
  if (settings.HistoryEnabled()) {
    ElementHistory::Options options;
    options.directory = layout_.HistoryDirectory();
    options.daemon = settings.RrdcachedAddress();
    options.step = static_cast<unsigned long>(PollingInterval() > 0 ? PollingInterval() : 300);
    options.graceSeconds = settings.HistoryGraceSeconds();
    auto* history = new ElementHistory(options);
    history->Start();
    ElementHistory::SetInstance(history);
    registry->SetSampleListener(history);
  }
  // The alarms traps raised stand again after a restart.
  registry->SetTrapConditionFile(layout_.TrapConditionFile());
  registry->LoadElements();
}

void AgentCore::StartTrapListener() {
  receivedTrapLog_ = new ReceivedTrapLog(ElementRegistry::Instance());
  trapListener_ = new TrapListener(ElementRegistry::Instance(), receivedTrapLog_);
  trapListener_->Start();
}

bool AgentCore::Stop() {
  // Subsystems are deleted here, newest first, as they are added to the
  // start-up: trap listener, received-trap log, element registry, the
  // notification gate, trap sender, notification sender, trap destination list.
  delete trapListener_;
  trapListener_ = nullptr;
  delete receivedTrapLog_;
  receivedTrapLog_ = nullptr;
  if (ElementRegistry* registry = ElementRegistry::Instance()) {
    ElementRegistry::SetInstance(nullptr);
    delete registry;
  }
  if (gate_ != nullptr) {
    if (MaintenanceBook* maintenance = MaintenanceBook::Instance()) maintenance->SetEndListener(nullptr);
    delete relay_;
    relay_ = nullptr;
    delete gate_;
    gate_ = nullptr;
  }
  // No poll is left to hand it counters; what is queued is written.
  if (ElementHistory* history = ElementHistory::Instance()) {
    ElementHistory::SetInstance(nullptr);
    delete history;
  }
  if (TrapSender* sender = TrapSender::Instance()) {
    TrapSender::SetInstance(nullptr);
    delete sender;
  }
  if (NotificationSender* notifications = NotificationSender::Instance()) {
    NotificationSender::SetInstance(nullptr);
    delete notifications;
  }
  if (TrapDestinationList* destinations = TrapDestinationList::Instance()) {
    TrapDestinationList::SetInstance(nullptr);
    delete destinations;
  }
  registryFilePath_.clear();
  return SocketStartup::Cleanup();
}

void AgentCore::EnterProgramDirectory(const std::string& programPath) {
  const size_t slash = programPath.rfind('/');
  if (slash != std::string::npos && slash > 0) {
    // A failing chdir leaves the current directory as it is; reading the
    // configuration then reports what is missing.
    [[maybe_unused]] const int ignored = ::chdir(programPath.substr(0, slash).c_str());
  }
  programDirectory_ = CurrentDirectory();
}

bool AgentCore::ReadConfiguration(const std::string& fileName) {
  std::ifstream in(fileName);
  if (!in.is_open()) {
    const int err = errno;
    EventLog::Write(EventLog::kCritical,
                    StringPrintf("Unable to open file %s - %s", fileName.c_str(), ErrorText(err).c_str()));
    return false;
  }
  if (!configuration_.Parse(in, fileName)) return false;
  layout_ = AgentLayout(programDirectory_, configuration_.AgentDirectory());
  // Changes made through the pages go to the agent directory's change
  // file, beside those the tools write there.
  AuditTrail::SetChangeFile(layout_.ChangeFile());
  return true;
}

bool AgentCore::ReadPollingInterval() {
  return PollingIntervalFile::Read(layout_.PollingIntervalFile(), &pollingInterval_);
}

std::string AgentCore::SystemInformationText(const std::string& label) {
  int major = 0;
  int minor = 0;
  SystemInfo::OsVersion(&major, &minor);
  const std::string majorText = StringPrintf("%d", major);
  const std::string minorText = StringPrintf("%d", minor);
  std::string text;
  text += StringPrintf("%s\n", label.c_str());
  text += StringPrintf("%d\n", 2);
  text += StringPrintf("%d\n", 7);
  text += StringPrintf("%s\n", SystemInfo::ComputerName().c_str());
  text += StringPrintf("%s\n", StringPrintf("%d", SystemInfo::ProcessorType()).c_str());
  text += "\n";
  text += "\n";
  text += "\n";
  text += StringPrintf("%s\n", StringPrintf("%s.%s", majorText.c_str(), minorText.c_str()).c_str());
  text += StringPrintf("%s\n", SystemInfo::OsName().c_str());
  text += StringPrintf("%s\n", majorText.c_str());
  text += StringPrintf("%s\n", minorText.c_str());
  return text;
}

bool AgentCore::WriteSystemInformation() {
  const std::string path = layout_.SystemInformationFile();
  // Private like the agent's other files.
  const int err = AtomicFile::Write(path, SystemInformationText(Configuration().SystemLabel()), 0600);
  if (err != 0) {
    EventLog::Write(EventLog::kCritical,
                    StringPrintf("Unable to open file %s - %s", path.c_str(), ErrorText(err).c_str()));
    return false;
  }
  return true;
}

bool AgentCore::StartSockets() {
  const int err = SocketStartup::Start();
  if (err != 0) {
    EventLog::Write(EventLog::kCritical, StringPrintf("WSAStartup() failure - socket error %d", err));
    return false;
  }
  return true;
}

}  // namespace orla
