// In-process benchmarks of the agent's device and trap handling against
// simulated controllers (snmpsimd, started by the scripts in bench/). The
// registry, the trap listener, the received-trap log and the trap sender are
// the agent's own; only the web server is left out. Every figure goes to
// standard output.
//
//   kor_bench pass   DIR SILENT_PID SILENT_ADDRESSES
//       loads DIR/KOR/KORAgent.db (the devices answer), stops the simulator
//       SILENT_PID (the devices of SILENT_ADDRESSES fall silent), then times
//       one status pass and, for comparison, one poll of each device alone.
//   kor_bench traps  DIR SILENT_PID TRAP_PORT TRAPD_PORT TRAPD_LOG
//       with the elements of DIR loaded (those of SILENT_PID silenced),
//       finds the highest rate at which snmptrapd (already listening on
//       TRAPD_PORT, logging to TRAPD_LOG) and the agent (TRAP_PORT) log a
//       burst of traps whole, then sends bursts at 2x and 10x snmptrapd's
//       rate to the agent.
//   kor_bench traps-v3 DIR SILENT_PID TRAP_PORT TRAPD_PORT TRAPD_LOG USER AUTH_PASS PRIV_PASS CONTEXT
//       the same with SNMPv3 authPriv traps (SHA-256, AES-128) of USER, made
//       by kor_v3_traps and sent from the managed device's address.
//   kor_bench scale  DIR
//       loads many elements: load time, elements polled, open files,
//       resident memory, idle CPU, pass time.
//   kor_bench sockets DIR ADDRESS PORT
//       GETs to one device with a socket per request and with a kept one.
//       loads many elements: load time, resident memory, idle CPU, pass time.
//   kor_bench render DIR [COUNT]
//       the metrics page's text for COUNT (1000) made-up elements, without
//       TLS and HTTP: p50, p99 and CPU per rendering.
//   kor_bench alarms DIR [COUNT]
//       the alarms view of COUNT (1000) made-up elements of which every
//       tenth has an alarm (ten of them acknowledged, in DIR/alarms.ack):
//       the alarm book's look and the API's JSON of it, p50 and p99.
//
// DIR is a program directory: devices/ with the plug-in, KOR/KORAgent.db.
// KORAGENT_SNMP_PORT and KORAGENT_EVENT_LOG must be set.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "agent/core/agent_settings.h"
#include "agent/core/orla_exception.h"
#include "agent/core/snmp_v3_credential_store.h"
#include "agent/devices/element_registry.h"
#include "agent/devices/plugin/device_plugin.h"
#include "agent/snmp/snmp_session.h"
#include "agent/traps/received_trap_log.h"
#include "agent/traps/trap_destination_list.h"
#include "agent/traps/trap_listener.h"
#include "agent/traps/trap_sender.h"
#include "agent/alarms/alarm_book.h"
#include "agent/web/alarms_resource.h"
#include "agent/web/metrics_report.h"
#include "platform/eventlog/repeated_warnings.h"
#include "platform/library/dynamic_library.h"
#include "platform/snmpmgr/snmp_mgr.h"
#include "platform/snmpmgr/snmp_mgr_trap.h"
#include "platform/sysinfo/open_file_limit.h"
#include "tests/unit/traps/ber_builder.h"

using namespace orla;
using BenchClock = std::chrono::steady_clock;

namespace {

double SecondsSince(BenchClock::time_point start) {
  return std::chrono::duration<double>(BenchClock::now() - start).count();
}

std::vector<std::string> Split(const std::string& text, char separator) {
  std::vector<std::string> out;
  std::stringstream in(text);
  std::string piece;
  while (std::getline(in, piece, separator)) {
    if (!piece.empty()) out.push_back(piece);
  }
  return out;
}

// Addresses of the element file, in order.
std::vector<std::string> StoredAddresses() {
  std::vector<std::string> out;
  std::ifstream in("KOR/KORAgent.db");
  std::string line;
  while (std::getline(in, line)) {
    auto pieces = Split(line, '|');
    if (pieces.size() >= 2) out.push_back(pieces[1]);
  }
  return out;
}

void StopSimulator(const char* pidText) {
  const pid_t pid = static_cast<pid_t>(std::atol(pidText));
  if (pid <= 0) return;
  kill(pid, SIGTERM);
  while (kill(pid, 0) == 0) std::this_thread::sleep_for(std::chrono::milliseconds(20));
}

long ResidentKiB() {
  std::ifstream in("/proc/self/status");
  std::string line;
  while (std::getline(in, line)) {
    if (line.rfind("VmRSS:", 0) == 0) return std::atol(line.c_str() + 6);
  }
  return -1;
}

double CpuSeconds() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return usage.ru_utime.tv_sec + usage.ru_stime.tv_sec + (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

std::unique_ptr<ElementRegistry> LoadRegistry(double* seconds) {
  // The SNMPv3 profiles, as the agent reads them at start (none: every
  // element over SNMPv1).
  SnmpV3CredentialStore::Instance().Open("KOR/snmpv3.conf");
  auto registry = std::make_unique<ElementRegistry>("KOR/KORAgent.db", 300);
  ElementRegistry::SetInstance(registry.get());
  const auto start = BenchClock::now();
  registry->LoadElements();
  *seconds = SecondsSince(start);
  return registry;
}

// One "UpdateStatus" of the plug-in on a session of its own: a single
// device's poll.
double SinglePoll(const std::string& address) {
  static std::unique_ptr<DynamicLibrary> plugin = [] {
    std::string error;
    auto library = DynamicLibrary::Open("devices/famib.so", &error);
    if (library == nullptr) {
      std::fprintf(stderr, "cannot load the plug-in: %s\n", error.c_str());
      std::exit(1);
    }
    return library;
  }();
  std::string error;
  auto update = reinterpret_cast<plugin::UpdateStatusFunction>(plugin->Symbol(plugin::kUpdateStatus, &error));
  SnmpSession session(address.c_str(), "public");
  const auto start = BenchClock::now();
  try {
    session.Open();
    update(&session);
  } catch (OrlaException* e) {
    std::unique_ptr<OrlaException> owned(e);
  }
  return SecondsSince(start);
}

int RunPass(char** argv) {
  const std::vector<std::string> silent = Split(argv[1], ',');
  double load = 0;
  auto registry = LoadRegistry(&load);
  const int elements = registry->ElementCount();
  StopSimulator(argv[0]);

  auto start = BenchClock::now();
  registry->UpdateAllStatus();
  const double pass = SecondsSince(start);

  // The slowest device alone: every answering one, and one silent one (they
  // are all alike).
  double slowest = 0;
  bool silentTimed = false;
  for (const std::string& address : StoredAddresses()) {
    const bool isSilent = std::find(silent.begin(), silent.end(), address) != silent.end();
    if (isSilent && silentTimed) continue;
    silentTimed = silentTimed || isSilent;
    slowest = std::max(slowest, SinglePoll(address));
  }
  std::printf("pass: %d elements, %zu silent: load %.3f s, pass %.3f s, slowest single poll %.3f s, "
              "ratio %.2f (goal <= 1.1)\n",
              elements, silent.size(), load, pass, slowest, pass / slowest);
  ElementRegistry::SetInstance(nullptr);
  return 0;
}

// `count` SNMPv1 enterprise-specific traps (specific 1000 + i, i from
// `first`) from `agent`.
std::vector<orla::test::ber::Bytes> V1Burst(const std::string& agent, int first, int count) {
  using namespace orla::test::ber;
  const auto octets = Split(agent, '.');
  const Bytes agentIp = Ip(std::stoi(octets[0]), std::stoi(octets[1]), std::stoi(octets[2]), std::stoi(octets[3]));
  std::vector<Bytes> datagrams;
  for (int i = 0; i < count; ++i) {
    datagrams.push_back(V1Trap("public", Oid({1, 3, 6, 1, 3, 94}), agentIp, 6, 1000 + first + i, 7, {}));
  }
  return datagrams;
}

// The same traps as SNMPv3 authPriv notifications of the device at `agent`,
// made by kor_v3_traps (beside this program) with `user` (the user, both
// pass phrases and the context, space-separated).
std::vector<orla::test::ber::Bytes> V3Burst(const std::string& agent, const std::string& user, int first, int count) {
  const std::string self = std::filesystem::read_symlink("/proc/self/exe").parent_path().string();
  const std::string file = std::filesystem::temp_directory_path() / ("kor-v3-traps-" + std::to_string(getpid()));
  const std::string command = self + "/kor_v3_traps encode " + agent + " " +
                              std::to_string(AgentSettings::Current().SnmpPort()) + " " + user + " " +
                              std::to_string(first) + " " + std::to_string(count) + " " + file;
  if (std::system(command.c_str()) != 0) {
    std::fprintf(stderr, "kor_v3_traps failed: %s\n", command.c_str());
    std::exit(1);
  }
  std::vector<orla::test::ber::Bytes> datagrams;
  std::ifstream in(file, std::ios::binary);
  uint32_t size = 0;
  while (in.read(reinterpret_cast<char*>(&size), sizeof size)) {
    orla::test::ber::Bytes d(size);
    in.read(reinterpret_cast<char*>(d.data()), size);
    datagrams.push_back(std::move(d));
  }
  std::filesystem::remove(file);
  return datagrams;
}

// Sends `datagrams` to 127.0.0.1:`port`, `rate` a second, from `source`
// (an address of this host; empty: any).
void SendBurst(int port, const std::vector<orla::test::ber::Bytes>& datagrams, double rate,
               const std::string& source = "") {
  const int fd = socket(AF_INET, SOCK_DGRAM, 0);
  if (!source.empty()) {
    sockaddr_in from{};
    from.sin_family = AF_INET;
    inet_pton(AF_INET, source.c_str(), &from.sin_addr);
    if (bind(fd, reinterpret_cast<sockaddr*>(&from), sizeof from) != 0) std::perror("bind");
  }
  sockaddr_in to{};
  to.sin_family = AF_INET;
  to.sin_port = htons(static_cast<uint16_t>(port));
  to.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  const auto start = BenchClock::now();
  for (size_t i = 0; i < datagrams.size(); ++i) {
    const auto due = start + std::chrono::duration_cast<BenchClock::duration>(std::chrono::duration<double>(i / rate));
    while (BenchClock::now() < due) {
    }
    sendto(fd, datagrams[i].data(), datagrams[i].size(), 0, reinterpret_cast<sockaddr*>(&to), sizeof to);
  }
  close(fd);
}

// Lines of `path` that contain `needle`, and the numbers after it, in order.
std::vector<int> LoggedNumbers(const std::string& path, const std::string& needle) {
  std::vector<int> out;
  std::ifstream in(path);
  std::string line;
  while (std::getline(in, line)) {
    const size_t at = line.find(needle);
    if (at != std::string::npos) out.push_back(std::atoi(line.c_str() + at + needle.size()));
  }
  return out;
}

int CountLines(const std::string& path, const std::string& needle) {
  return static_cast<int>(LoggedNumbers(path, needle).size());
}

// Waits until `count` more lines than `before` are logged, or nothing new
// came for `quiet` seconds, at most `limit` seconds; the lines logged.
int WaitLogged(const std::string& path, const std::string& needle, int before, int count, double quiet,
               double limit, double* lastSeen) {
  const auto start = BenchClock::now();
  int seen = CountLines(path, needle) - before;
  auto lastChange = BenchClock::now();
  *lastSeen = 0;
  while (seen < count && SecondsSince(start) < limit && SecondsSince(lastChange) < quiet) {
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    const int now = CountLines(path, needle) - before;
    if (now != seen) {
      seen = now;
      lastChange = BenchClock::now();
      *lastSeen = SecondsSince(start);
    }
  }
  return seen;
}

// `v3User`: empty for SNMPv1 traps; else the traps are SNMPv3 authPriv
// notifications of that user (see V3Burst), sent from the device's address.
int RunTraps(char** argv, const std::string& v3User = "") {
  const int trapPort = std::atoi(argv[1]);
  const int trapdPort = std::atoi(argv[2]);
  const std::string trapdLog = argv[3];
  const std::string eventLog = std::getenv("KORAGENT_EVENT_LOG");
  const std::string agentNeedle = "\"text\":\"WARNING: Fibre Alliance MIB trap ";
  const std::string trapdNeedle = "TRAP ";

  TrapDestinationList destinations("KOR");
  TrapDestinationList::SetInstance(&destinations);
  TrapSender sender(&destinations);
  TrapSender::SetInstance(&sender);
  double load = 0;
  auto registry = LoadRegistry(&load);
  registry->SetStatusChangeListener(&sender);
  const std::string managed = StoredAddresses().front();
  StopSimulator(argv[0]);
  auto log = std::make_unique<ReceivedTrapLog>(registry.get());
  auto listener = std::make_unique<TrapListener>(registry.get(), log.get());
  listener->Start();
  std::this_thread::sleep_for(std::chrono::milliseconds(300));
  std::printf("traps: %d elements (1 silent), %s traps from %s\n", registry->ElementCount(),
              v3User.empty() ? "SNMPv1" : "SNMPv3 authPriv (SHA-256, AES-128)", managed.c_str());
  // The burst of `count` traps numbered from `first`, as the device sends it.
  auto burst = [&](int first, int count) {
    return v3User.empty() ? V1Burst(managed, first, count) : V3Burst(managed, v3User, first, count);
  };
  const std::string source = v3User.empty() ? "" : managed;

  // The agent logs kTrapsPerMinute traps a minute from one element one by
  // one and counts the rest for a summary line: a trap is lost only when it
  // is neither (dropped at the socket or the queue, or refused).
  auto summarised = [] {
    uint64_t n = 0;
    for (const RepeatedWarnings::Count& c : RepeatedWarnings::Counts()) {
      if (c.kind == "traps") n += c.summarised;
    }
    return n;
  };
  // Waits until `count` traps more than `before` lines and `counted`
  // summarised ones are logged or counted, or nothing new came for `quiet`
  // seconds, at most `limit` seconds; how many were.
  auto waitTaken = [&](int before, uint64_t counted, int count, double quiet, double limit, double* last) {
    const auto start = BenchClock::now();
    auto taken = [&] {
      return CountLines(eventLog, agentNeedle) - before + static_cast<int>(summarised() - counted);
    };
    int seen = taken();
    auto change = BenchClock::now();
    *last = 0;
    while (seen < count && SecondsSince(change) < quiet && SecondsSince(start) < limit) {
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
      if (taken() != seen) {
        seen = taken();
        change = BenchClock::now();
        *last = SecondsSince(start);
      }
    }
    return seen;
  };
  constexpr int kBurst = 2000;
  const double rates[] = {1000, 2000, 3000, 5000, 7500, 10000, 15000, 20000, 30000, 40000, 60000, 80000, 120000, 160000};
  int next = 0;
  // The highest rate at which a whole burst to `port` reaches `log`, rising
  // until one is not whole.
  auto zeroLossRate = [&](const char* who, int port, const std::string& log, const std::string& needle,
                          int settleSeconds) {
    double best = 0;
    for (double rate : rates) {
      const int before = CountLines(log, needle);
      const uint64_t received = SnmpMgrTrapsReceived(), dropped = SnmpMgrTrapsDropped(),
                     refused = SnmpMgrTrapsRefused(), counted = summarised();
      SendBurst(port, burst(next, kBurst), rate, source);
      next += kBurst;
      double last = 0;
      int logged = 0, whole = 0;
      if (port == trapPort) {
        whole = waitTaken(before, counted, kBurst, settleSeconds, 30, &last);
        logged = CountLines(log, needle) - before;
        std::printf("  %-9s at %6.0f/s: %d of %d taken: %d logged, %d counted for the summary (last after %.2f s); "
                    "received %llu, dropped %llu (%llu refused by the security model)\n",
                    who, rate, whole, kBurst, logged, whole - logged, last,
                    static_cast<unsigned long long>(SnmpMgrTrapsReceived() - received),
                    static_cast<unsigned long long>(SnmpMgrTrapsDropped() - dropped),
                    static_cast<unsigned long long>(SnmpMgrTrapsRefused() - refused));
      } else {
        whole = logged = WaitLogged(log, needle, before, kBurst, settleSeconds, 30, &last);
        std::printf("  %-9s at %6.0f/s: %d of %d logged (last after %.2f s)\n", who, rate, logged, kBurst, last);
      }
      if (whole < kBurst) break;
      best = rate;
    }
    return best;
  };
  const double trapdRate = zeroLossRate("snmptrapd", trapdPort, trapdLog, trapdNeedle, 2);
  const double agentRate = zeroLossRate("agent", trapPort, eventLog, agentNeedle, 15);
  std::printf("zero-loss rate: snmptrapd %.0f/s, agent %.0f/s\n", trapdRate, agentRate);

  // A burst at twice snmptrapd's zero-loss rate: whole, in order, within 10 s.
  const double twice = 2 * (trapdRate > 0 ? trapdRate : rates[0]);
  {
    const std::vector<int> before = LoggedNumbers(eventLog, agentNeedle);
    const uint64_t counted = summarised();
    const auto datagrams = burst(next, kBurst);
    const auto start = BenchClock::now();
    SendBurst(trapPort, datagrams, twice, source);
    const double sent = SecondsSince(start);
    double last = 0;
    WaitLogged(eventLog, agentNeedle, static_cast<int>(before.size()), kBurst, 15, 30, &last);
    const double took = sent + last;
    std::vector<int> after = LoggedNumbers(eventLog, agentNeedle);
    after.erase(after.begin(), after.begin() + static_cast<long>(before.size()));
    bool inOrder = true;
    for (size_t i = 0; i < after.size(); ++i) inOrder = inOrder && after[i] == 1000 + next + static_cast<int>(i);
    const uint64_t alsoCounted = summarised() - counted;
    std::printf("burst at 2x (%.0f/s): %zu of %d logged (%s) and %llu counted for the summary, last logged after "
                "%.2f s (goal: whole, in order, <= 10 s): ratio %.2f\n",
                twice, after.size(), kBurst, inOrder ? "in order" : "OUT OF ORDER",
                static_cast<unsigned long long>(alsoCounted), took, took / 10.0);
    next += kBurst;
  }
  // Ten times that rate, then as fast as one sender can: what is lost is
  // counted, and reported in the event log.
  const double floods[] = {10 * (trapdRate > 0 ? trapdRate : rates[0]), 1e12};
  const int floodSizes[] = {20000, 100000};
  for (int f = 0; f < 2; ++f) {
    const int before = CountLines(eventLog, agentNeedle);
    const uint64_t droppedBefore = SnmpMgrTrapsDropped(), counted = summarised();
    const auto datagrams = burst(next, floodSizes[f]);
    const auto start = BenchClock::now();
    SendBurst(trapPort, datagrams, floods[f], source);
    const double sent = SecondsSince(start);
    next += floodSizes[f];
    double last = 0;
    const int taken = waitTaken(before, counted, floodSizes[f], 5, 120, &last);
    const int logged = CountLines(eventLog, agentNeedle) - before;
    const uint64_t dropped = SnmpMgrTrapsDropped() - droppedBefore;
    std::printf("flood %s (%.0f/s): %d sent, %d taken (%.0f/s until the last): %d logged, %d counted for the "
                "summary; %llu counted as dropped, %lld unaccounted\n",
                f == 0 ? "at 10x" : "unpaced", floodSizes[f] / sent, floodSizes[f], taken,
                taken / (sent + last), logged, taken - logged, static_cast<unsigned long long>(dropped),
                static_cast<long long>(floodSizes[f]) - taken - static_cast<long long>(dropped));
  }
  // The warnings: the first at once, the rest a minute later.
  const uint64_t droppedTotal = SnmpMgrTrapsDropped();
  auto reported = [&] {
    long long sum = 0;
    for (int n : LoggedNumbers(eventLog, "\"text\":\"WARNING: ")) sum += n;
    return sum;
  };
  if (droppedTotal > 0 && CountLines(eventLog, "traps were dropped") > 0) {
    const auto start = BenchClock::now();
    while (reported() < static_cast<long long>(droppedTotal) && SecondsSince(start) < 70) {
      std::this_thread::sleep_for(std::chrono::milliseconds(500));
    }
  }
  std::printf("dropped in all: %llu; dropped-trap warnings: %d, reporting %lld\n",
              static_cast<unsigned long long>(droppedTotal), CountLines(eventLog, "traps were dropped"), reported());
  listener.reset();
  log.reset();
  registry.reset();
  ElementRegistry::SetInstance(nullptr);
  TrapSender::SetInstance(nullptr);
  TrapDestinationList::SetInstance(nullptr);
  std::fflush(stdout);
  // The silent element's pass may still run on another thread: no clean-up.
  _exit(0);
}

// Open file descriptors of this process.
int OpenDescriptors() {
  int count = 0;
  std::error_code error;
  for (auto it = std::filesystem::directory_iterator("/proc/self/fd", error);
       !error && it != std::filesystem::directory_iterator(); it.increment(error)) {
    ++count;
  }
  return count;
}

// Elements of the list string whose status has been read (not -1), and
// those not bound (model text "Not ...").
void CountPolled(ElementRegistry& registry, int* polled, int* unbound) {
  const std::vector<std::string> fields = Split(registry.ListElements(false), '|');
  *polled = *unbound = 0;
  for (size_t i = 0; i + 3 < fields.size(); i += 6) {
    if (fields[i] != "-1") ++*polled;
    if (fields[i + 3].rfind("Not ", 0) == 0) ++*unbound;
  }
}

int RunScale() {
  // What the agent does at start: a service's soft limit of 1024 open
  // files is raised to its hard limit.
  uint64_t softBefore = 0;
  const uint64_t soft = OpenFileLimit::Raise(&softBefore);
  double load = 0;
  auto registry = LoadRegistry(&load);
  int polled = 0;
  int unbound = 0;
  CountPolled(*registry, &polled, &unbound);
  const int descriptors = OpenDescriptors();
  const double loadCpu = CpuSeconds();
  const long resident = ResidentKiB();
  const double cpuBefore = CpuSeconds();
  std::this_thread::sleep_for(std::chrono::seconds(10));
  const double idle = (CpuSeconds() - cpuBefore) / 10 * 100;
  const double passCpuBefore = CpuSeconds();
  const auto start = BenchClock::now();
  registry->UpdateAllStatus();
  const double pass = SecondsSince(start);
  const double passCpu = CpuSeconds() - passCpuBefore;
  int polledAgain = 0;
  CountPolled(*registry, &polledAgain, &unbound);
  std::printf("open files: soft limit %llu raised to %llu; %d descriptors open after the load\n",
              static_cast<unsigned long long>(softBefore), static_cast<unsigned long long>(soft), descriptors);
  std::printf("scale: %d elements (%d polled by the load, %d after the pass, %d unbound): load %.2f s (goal <= 3 s: "
              "ratio %.2f; the agent's CPU %.2f s), resident %.1f MB after the first pass (goal <= 64 MB), idle CPU "
              "%.2f %%, pass %.2f s (the agent's CPU %.3f s)\n",
              registry->ElementCount(), polled, polledAgain, unbound, load, load / 3, loadCpu, resident / 1024.0, idle,
              pass, passCpu);
  std::fflush(stdout);
  _exit(0);
}

// One GET of sysName on `session`; false when no answer came.
bool GetSysName(LPSNMP_MGR_SESSION session) {
  SnmpVarBindList list{nullptr, 0};
  list.list = static_cast<SnmpVarBind*>(SnmpUtilMemAlloc(sizeof(SnmpVarBind)));
  list.len = 1;
  list.list[0].value.asnType = ASN_NULL;
  SnmpMgrStrToOid("1.3.6.1.2.1.1.5.0", &list.list[0].name);
  int32_t status = 0;
  int32_t index = 0;
  const bool answered = SnmpMgrRequest(session, ASN_RFC1157_GETREQUEST, &list, &status, &index);
  SnmpUtilVarBindListFree(&list);
  return answered && status == 0;
}

// A socket per request (opened and closed around it) against a socket kept
// by the session, to one simulated device: what each request costs, and
// what opening and closing a session costs alone.
int RunSockets(const char* address, int port) {
  constexpr int kRequests = 2000;
  constexpr int kRounds = 3;
  auto perRequest = [&](bool keep) {
    LPSNMP_MGR_SESSION kept = keep ? SnmpMgrOpen(address, "public", 5000, 4, port) : nullptr;
    int answered = 0;
    const auto start = BenchClock::now();
    for (int i = 0; i < kRequests; ++i) {
      LPSNMP_MGR_SESSION session = keep ? kept : SnmpMgrOpen(address, "public", 5000, 4, port);
      if (session != nullptr && GetSysName(session)) ++answered;
      if (!keep) SnmpMgrClose(session);
    }
    const double seconds = SecondsSince(start);
    if (keep) SnmpMgrClose(kept);
    if (answered != kRequests) std::printf("  (%d of %d answered)\n", answered, kRequests);
    return seconds / kRequests * 1e6;
  };
  double opened = 0;
  double keptSum = 0;
  for (int round = 0; round < kRounds; ++round) {
    opened += perRequest(false);
    keptSum += perRequest(true);
  }
  opened /= kRounds;
  keptSum /= kRounds;
  const auto start = BenchClock::now();
  for (int i = 0; i < kRequests; ++i) SnmpMgrClose(SnmpMgrOpen(address, "public", 5000, 4, port));
  const double openClose = SecondsSince(start) / kRequests * 1e6;
  std::printf("sockets: %d GETs x %d rounds to %s: socket per request %.0f us, socket kept %.0f us a request "
              "(ratio %.2f); open + close alone %.1f us (%.1f %% of a request)\n",
              kRequests, kRounds, address, opened, keptSum, opened / keptSum, openClose, openClose / opened * 100);
  return 0;
}

// The metrics page's text alone (no TLS, no HTTP) for COUNT elements with
// the labels of simulated controllers: p50, p99 and CPU per rendering.
int RunRender(int count) {
  std::vector<ElementView> elements;
  for (int i = 0; i < count; ++i) {
    ElementView a;
    a.record.name = "tc" + std::to_string(i);
    a.record.address = "127.0." + std::to_string(40 + i / 250) + "." + std::to_string(i % 250 + 1);
    a.record.description = "Tape controller TC-2200, firmware 4.10 (Fibre Channel, 2 ports)";
    a.status.status = i % 4;
    a.status.statusSinceMs = 1765000000000 + i;
    a.status.lastAnsweredMs = 1765000000000 + i;
    a.status.answeredLastPoll = true;
    elements.push_back(a);
  }
  ZEPA_SERVER_STATISTICS web{};
  web.cbSize = sizeof web;
  std::vector<double> ms;
  size_t bytes = 0;
  const double cpu0 = CpuSeconds();
  for (int run = 0; run < 300; ++run) {
    const auto start = BenchClock::now();
    bytes = MetricsReport::Render(&elements, '1', &web).size();
    ms.push_back(SecondsSince(start) * 1000);
  }
  const double cpuPer = (CpuSeconds() - cpu0) * 1000 / static_cast<double>(ms.size());
  std::sort(ms.begin(), ms.end());
  std::printf("render: %d elements, %zu bytes: p50 %.2f ms, p99 %.2f ms, CPU %.2f ms per page (goal <= 5 ms: "
              "ratio %.2f)\n",
              count, bytes, ms[ms.size() / 2], ms[ms.size() * 99 / 100], cpuPer, cpuPer / 5);
  return 0;
}

// The alarms view: what the alarms page and GET alarms do for COUNT
// elements with COUNT/10 alarms (the element list itself left out).
int RunAlarms(int count) {
  std::vector<ElementView> elements;
  for (int i = 0; i < count; ++i) {
    ElementView a;
    a.record.name = "tc" + std::to_string(i);
    a.record.address = "127.0." + std::to_string(40 + i / 250) + "." + std::to_string(i % 250 + 1);
    a.status.status = i % 10 == 0 ? 1 + (i / 10) % 2 : 0;
    a.status.reason = a.status.status != 0 ? "Port 3: 120 CRC errors in the last hour" : "";
    a.status.statusSinceMs = 1765000000000 + i;
    a.status.lastAnsweredMs = 1765000000000 + i;
    a.status.answeredLastPoll = true;
    elements.push_back(a);
  }
  AlarmBook book("alarms.ack");
  for (int i = 0; i < count && i < 100; i += 10) {
    AlarmBook::Taking taking;
    taking.user = "oper1";
    taking.note = "spare ordered";
    book.Acknowledge(elements, "tc" + std::to_string(i) + ":status", taking, nullptr);
  }
  std::vector<double> ms;
  size_t alarms = 0;
  size_t bytes = 0;
  for (int run = 0; run < 300; ++run) {
    const auto start = BenchClock::now();
    std::string json;
    const std::vector<Alarm> current = book.Current(elements);
    for (const Alarm& alarm : current) json += AlarmsResource::AlarmJson(alarm) + ",";
    ms.push_back(SecondsSince(start) * 1000);
    alarms = current.size();
    bytes = json.size();
  }
  std::sort(ms.begin(), ms.end());
  std::printf("alarms: %d elements, %zu alarms, %zu bytes of JSON: p50 %.2f ms, p99 %.2f ms (goal <= 50 ms: "
              "ratio %.2f)\n",
              count, alarms, bytes, ms[ms.size() / 2], ms[ms.size() * 99 / 100], ms[ms.size() * 99 / 100] / 50);
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  // The ports and the event-log file the bench script exports.
  const std::string settingsError = orla::AgentSettings::Load();
  if (!settingsError.empty()) {
    std::fprintf(stderr, "%s\n", settingsError.c_str());
    return 2;
  }
  if (argc < 3) {
    std::fprintf(stderr, "usage: kor_bench pass|traps|scale DIR ...\n");
    return 2;
  }
  const std::string mode = argv[1];
  if (chdir(argv[2]) != 0) {
    std::perror(argv[2]);
    return 2;
  }
  if (mode == "pass" && argc == 5) return RunPass(argv + 3);
  if (mode == "traps" && argc == 7) return RunTraps(argv + 3);
  // traps-v3 DIR PID PORT TRAPD_PORT LOG USER AUTH_PASS PRIV_PASS CONTEXT
  if (mode == "traps-v3" && argc == 11) {
    return RunTraps(argv + 3, std::string(argv[7]) + " " + argv[8] + " " + argv[9] + " " + argv[10]);
  }
  if (mode == "scale") return RunScale();
  if (mode == "sockets" && argc == 5) return RunSockets(argv[3], std::atoi(argv[4]));
  if (mode == "render") return RunRender(argc > 3 ? std::atoi(argv[3]) : 1000);
  if (mode == "alarms") return RunAlarms(argc > 3 ? std::atoi(argv[3]) : 1000);
  std::fprintf(stderr, "usage: kor_bench pass DIR PID ADDRESSES | traps DIR PID PORT TRAPD_PORT LOG | scale DIR\n");
  return 2;
}
