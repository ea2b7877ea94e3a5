#include "trap_receiver.h"

#include "platform/eventlog/repeated_warnings.h"
#include "platform/sync/clock.h"
#include "platform/text/string_printf.h"
#include "snmp_mgr_library.h"
#include "usm_header.h"

#include <net-snmp/net-snmp-config.h>
#include <net-snmp/net-snmp-includes.h>
#include <net-snmp/library/snmp_impl.h>

#include <arpa/inet.h>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <netinet/in.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <functional>
#include <iterator>
#include <memory>
#include <mutex>
#include <system_error>

namespace orla {

namespace {

// The address a datagram came from, as text ("?" when not IP).
std::string SourceText(const sockaddr_storage& from) {
  char text[INET6_ADDRSTRLEN] = "?";
  if (from.ss_family == AF_INET) {
    inet_ntop(AF_INET, &reinterpret_cast<const sockaddr_in*>(&from)->sin_addr, text, sizeof text);
  } else if (from.ss_family == AF_INET6) {
    inet_ntop(AF_INET6, &reinterpret_cast<const sockaddr_in6*>(&from)->sin6_addr, text, sizeof text);
  }
  return text;
}

void CloseTransport(netsnmp_transport* transport) {
  if (transport == nullptr) return;
  if (transport->f_close != nullptr) transport->f_close(transport);
  netsnmp_transport_free(transport);
}

}  // namespace

TrapReceiver::TrapReceiver()
    : overflowWarnings_("trap_overflow", "traps dropped at the limits", 1, nullptr, nullptr,
                        [](uint64_t n, const std::string&) {
                          return StringPrintf(
                              "%llu traps were dropped because they arrived faster than the agent could take them.",
                              static_cast<unsigned long long>(n));
                        }),
      refusedWarnings_("snmpv3_refused", "refused SNMPv3 traps", 1, nullptr, nullptr,
                       [](uint64_t n, const std::string&) {
                         return StringPrintf("%llu SNMPv3 traps were refused (unknown user or engine, wrong level or "
                                             "key, outside the time window, or another element's profile).",
                                             static_cast<unsigned long long>(n));
                       }),
      v3OnlyWarnings_("v3_only_refused", "SNMPv1/SNMPv2c traps", 1, nullptr, nullptr,
                      [](uint64_t n, const std::string&) {
                        return StringPrintf("%llu further SNMPv1/SNMPv2c traps and informs were refused in the last "
                                            "minute: only SNMPv3 is accepted (v3-only on).",
                                            static_cast<unsigned long long>(n));
                      }) {}

TrapReceiver::~TrapReceiver() { Stop(); }

int TrapReceiver::Start(const std::string& listenAddress, std::string* error) {
  if (thread_.joinable()) {
    if (error != nullptr) *error = "the trap receiver is already running";
    return EALREADY;
  }
  // The library's transport domains are registered by its one-time set-up.
  SnmpMgrLibrary::Initialize();
  netsnmp_transport* transport;
  int openError;
  {
    std::lock_guard<std::mutex> hold(SnmpMgrLibrary::Mutex());
    errno = 0;
    transport = netsnmp_transport_open_server("snmptrap", listenAddress.c_str());
    openError = errno;
  }
  if (transport == nullptr) {
    // bind() leaves its reason in errno (address in use, no permission);
    // an address net-snmp cannot read at all leaves none.
    const int err = openError != 0 ? openError : EINVAL;
    if (error != nullptr) *error = "cannot listen for traps on \"" + listenAddress + "\": " + std::strerror(err);
    return err;
  }
  // Traps are datagrams. A stream transport (tcp:, unix:) gives a listening
  // socket that polls readable forever and never yields a trap.
  int type = 0;
  socklen_t typeLength = sizeof type;
  if (::getsockopt(transport->sock, SOL_SOCKET, SO_TYPE, &type, &typeLength) != 0 || type != SOCK_DGRAM) {
    CloseTransport(transport);
    if (error != nullptr) {
      *error = "cannot listen for traps on \"" + listenAddress + "\": only a UDP transport receives traps";
    }
    return EPROTONOSUPPORT;
  }
  const int wake = eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
  if (wake < 0) {
    const int err = errno;
    CloseTransport(transport);
    if (error != nullptr) *error = std::string("eventfd: ") + std::strerror(err);
    return err;
  }
  transport_ = transport;
  socket_ = transport->sock;
  // A bigger buffer (the system may grant less) and the system's count of
  // datagrams it dropped for want of room, delivered with every datagram.
  const int bufferSize = kSocketBuffer;
  const int on = 1;
  (void)setsockopt(socket_, SOL_SOCKET, SO_RCVBUF, &bufferSize, sizeof bufferSize);
  (void)setsockopt(socket_, SOL_SOCKET, SO_RXQ_OVFL, &on, sizeof on);
  wakeFd_ = wake;
  stopping_.store(false);
  buffer_.assign(TrapDecoder::kMaxDatagram + 1, 0);
  try {
    thread_ = std::thread(&TrapReceiver::Run, this);
  } catch (const std::system_error& e) {
    CloseTransport(transport);
    ::close(wake);
    transport_ = nullptr;
    socket_ = -1;
    wakeFd_ = -1;
    if (error != nullptr) *error = e.what();
    return e.code().value() != 0 ? e.code().value() : EAGAIN;
  }
  return 0;
}

void TrapReceiver::Stop() {
  if (!thread_.joinable()) return;
  stopping_.store(true);
  const uint64_t one = 1;
  ssize_t ignored = ::write(wakeFd_, &one, sizeof one);
  (void)ignored;
  thread_.join();
  CloseTransport(static_cast<netsnmp_transport*>(transport_));
  ::close(wakeFd_);
  transport_ = nullptr;
  socket_ = -1;
  wakeFd_ = -1;
}

bool TrapReceiver::Take(Trap* trap) {
  std::lock_guard<std::mutex> guard(mutex_);
  if (turn_.empty()) return false;
  const uint32_t source = turn_.front();
  turn_.pop_front();
  const auto it = sources_.find(source);
  SourceQueue& queue = it->second;
  *trap = std::move(queue.traps.front());
  queue.traps.pop_front();
  const size_t size = QueuedSize(*trap);
  queue.bytes = size < queue.bytes ? queue.bytes - size : 0;
  queuedBytes_ = size < queuedBytes_ ? queuedBytes_ - size : 0;
  --queued_;
  // The source waits for its next turn behind every other source.
  if (queue.traps.empty()) {
    sources_.erase(it);
  } else {
    turn_.push_back(source);
  }
  return true;
}

const char* TrapReceiver::DropName(Drop reason) {
  static const char* const kNames[kDropReasons] = {"source_share", "queue_full", "socket_buffer",
                                                    "too_many_bindings", "truncated", "malformed",
                                                    "v3_only", "not_managed", "repeated_inform"};
  return kNames[static_cast<size_t>(reason)];
}

void TrapReceiver::Count(Drop reason, uint64_t count) {
  drops_[static_cast<size_t>(reason)].fetch_add(count);
  dropped_.fetch_add(count);
  if (reason <= Drop::kTooManyBindings) {
    overflow_.fetch_add(count);
    overflowWarnings_.Report("", count);
  }
}

void TrapReceiver::Answer(const std::vector<uint8_t>& answer, size_t asked, uint32_t source,
                          const sockaddr_storage& to, socklen_t length) {
  // Never a reflector: no answer more than twice what asked for it, and a
  // source's answers are bounded like its refusals.
  if (answer.empty() || answer.size() > 2 * asked || !answerBudget_.Spend(source, std::chrono::steady_clock::now())) {
    return;
  }
  // A datagram the system will not take now is lost like any on UDP: the
  // sender tries again.
  (void)::sendto(socket_, answer.data(), answer.size(), MSG_DONTWAIT, reinterpret_cast<const sockaddr*>(&to),
                 length);
}

size_t TrapReceiver::QueuedSize(const Trap& trap) {
  size_t size = sizeof(Trap) + trap.enterprise.size() * sizeof(uint32_t);
  for (const Binding& b : trap.bindings) {
    size += sizeof(Binding) + (b.name.size() + b.objectId.size()) * sizeof(uint32_t) + b.octets.size();
  }
  return size;
}

void TrapReceiver::Run() {
  pollfd fds[2] = {{socket_, POLLIN, 0}, {wakeFd_, POLLIN, 0}};
  while (!stopping_.load()) {
    const int ready = ::poll(fds, 2, -1);
    if (ready < 0) {
      if (errno == EINTR) continue;
      // poll on two valid descriptors does not fail otherwise; do not spin.
      ::usleep(100000);
      continue;
    }
    if (fds[1].revents != 0) break;
    if (fds[0].revents & POLLIN) Receive();
  }
}

void TrapReceiver::Receive() {
  sockaddr_storage from{};
  iovec data{buffer_.data(), buffer_.size()};
  alignas(cmsghdr) char control[CMSG_SPACE(sizeof(uint32_t))];
  msghdr message{};
  message.msg_name = &from;
  message.msg_namelen = sizeof from;
  message.msg_iov = &data;
  message.msg_iovlen = 1;
  message.msg_control = control;
  message.msg_controllen = sizeof control;
  const ssize_t n = ::recvmsg(socket_, &message, MSG_TRUNC | MSG_DONTWAIT);
  if (n < 0) return;  // EAGAIN or a transient socket error: nothing to take
  const auto arrival = Clock::System()->WallNow();
  received_.fetch_add(1);
  NoteSocketDrops(message);
  // MSG_TRUNC reports the datagram's real size: one larger than the buffer
  // was cut short and cannot be decoded.
  if (static_cast<size_t>(n) > TrapDecoder::kMaxDatagram) {
    Count(Drop::kTruncated);
    NoteMalformed(from);
    return;
  }
  uint8_t source[4] = {0, 0, 0, 0};
  if (from.ss_family == AF_INET) {
    std::memcpy(source, &reinterpret_cast<const sockaddr_in*>(&from)->sin_addr, 4);
  } else if (from.ss_family == AF_INET6) {
    const auto* in6 = reinterpret_cast<const sockaddr_in6*>(&from);
    if (IN6_IS_ADDR_V4MAPPED(&in6->sin6_addr)) std::memcpy(source, in6->sin6_addr.s6_addr + 12, 4);
  }
  // Other IPv6 sources share one queue.
  const uint32_t key = static_cast<uint32_t>(source[0]) << 24 | static_cast<uint32_t>(source[1]) << 16 |
                       static_cast<uint32_t>(source[2]) << 8 | source[3];
  Drop reason = Drop::kQueueFull;
  // A source past its share, or past its budget of refused and malformed
  // datagrams, is turned away before its datagram is decoded.
  const auto now = std::chrono::steady_clock::now();
  if (!HasShare(key, &reason)) {
    Count(reason);
    return;
  }
  if (!refusalBudget_.Has(key, now)) {
    Count(Drop::kSourceShare);
    return;
  }
  Trap trap;
  Details details;
  const size_t length = static_cast<size_t>(n);
  if (!TrapDecoder::Decode(buffer_.data(), length, source, &trap, &details)) {
    if (details.refused) {
      // Not malformed: refused by the security model, counted on its own.
      refusalBudget_.Spend(key, now);
      Refuse(details.refusal);
    } else if (details.answer.empty()) {
      refusalBudget_.Spend(key, now);
      Count(Drop::kMalformed);
      NoteMalformed(from);
    }
    // What the sender asked for (a report) is owed whether or not it counts.
    if (!details.answer.empty()) Answer(details.answer, length, key, from, message.msg_namelen);
    return;
  }
  if (details.version != SNMP_VERSION_3 && v3Only_.load()) {
    Count(Drop::kV3Only);
    v3OnlyWarnings_.Warn("", StringPrintf("An SNMP%s %s from %s was refused: only SNMPv3 is accepted (v3-only on).",
                                          details.version == SNMP_VERSION_1 ? "v1" : "v2c",
                                          details.inform ? "inform" : "trap", SourceText(from).c_str()));
    return;
  }
  if (!Admit(details, source, &trap)) {
    refusalBudget_.Spend(key, now);
    if (details.version == SNMP_VERSION_3) {
      Refuse(Refusal::kNotThisElementsProfile);
    } else {
      Count(Drop::kNotManaged);
    }
    return;
  }
  if (details.inform && recentInforms_.Seen(details.informKey, now)) {
    // Our acknowledgement was lost: acknowledged again, logged once.
    Count(Drop::kRepeatedInform);
    Answer(details.answer, length, key, from, message.msg_namelen);
    return;
  }
  trap.arrival = arrival;
  if (!Enqueue(key, std::move(trap), &reason)) {
    // Not acknowledged: the sender of an inform tries again later.
    Count(reason);
    return;
  }
  if (details.inform) {
    recentInforms_.Remember(details.informKey, now);
    Answer(details.answer, length, key, from, message.msg_namelen);
  }
  event_.Set();
}

bool TrapReceiver::Admit(const Details& details, const uint8_t source[4], Trap* trap) {
  std::shared_ptr<const Admission> admission;
  {
    std::lock_guard<std::mutex> hold(admissionMutex_);
    admission = admission_;
  }
  // SNMPv1 and SNMPv2c traps speak for the agent address they carry, as
  // the listener reads it.
  if (admission == nullptr || !*admission || (details.version != SNMP_VERSION_3 && !details.inform)) return true;
  const std::string none;
  const std::string& user = details.version == SNMP_VERSION_3 ? details.user : none;
  if (details.hasTrapAddress && (*admission)(details.trapAddress, user, details.level)) {
    std::memcpy(trap->agentAddress, details.trapAddress, 4);
    return true;
  }
  if ((*admission)(source, user, details.level)) {
    std::memcpy(trap->agentAddress, source, 4);
    return true;
  }
  return false;
}

void TrapReceiver::SetAdmission(Admission admission) {
  auto shared = std::make_shared<const Admission>(std::move(admission));
  std::lock_guard<std::mutex> hold(admissionMutex_);
  admission_ = std::move(shared);
}

void TrapReceiver::Refuse(Refusal reason) {
  refusals_[static_cast<size_t>(reason)].fetch_add(1);
  dropped_.fetch_add(1);
  refused_.fetch_add(1);
  refusedWarnings_.Report("");
}

bool TrapReceiver::HasShare(uint32_t source, Drop* reason) {
  std::lock_guard<std::mutex> guard(mutex_);
  const auto it = sources_.find(source);
  if (it != sources_.end() &&
      (it->second.traps.size() >= kMaxPerSource || it->second.bytes >= kMaxPerSourceBytes)) {
    *reason = Drop::kSourceShare;
    return false;
  }
  if (queued_ >= kMaxQueued || queuedBytes_ >= kMaxQueuedBytes) {
    *reason = Drop::kQueueFull;
    return false;
  }
  return true;
}

bool TrapReceiver::Enqueue(uint32_t source, Trap trap, Drop* reason) {
  if (trap.bindings.size() > kMaxBindings) {
    *reason = Drop::kTooManyBindings;
    return false;
  }
  const size_t size = QueuedSize(trap);
  std::lock_guard<std::mutex> guard(mutex_);
  SourceQueue& queue = sources_[source];
  if (queue.traps.size() >= kMaxPerSource || queue.bytes + size > kMaxPerSourceBytes) {
    *reason = Drop::kSourceShare;
  } else if (queued_ >= kMaxQueued || queuedBytes_ + size > kMaxQueuedBytes) {
    *reason = Drop::kQueueFull;
  } else {
    if (queue.traps.empty()) turn_.push_back(source);
    queue.traps.push_back(std::move(trap));
    queue.bytes += size;
    queuedBytes_ += size;
    ++queued_;
    return true;
  }
  if (queue.traps.empty()) sources_.erase(source);
  return false;
}

void TrapReceiver::NoteMalformed(const sockaddr_storage& from) {
  // Anyone can send them: a few lines a minute for each sender, then a
  // summary (written through the program's event log).
  static auto* malformed = new RepeatedWarnings("malformed_datagrams", "malformed datagrams", 1);
  const std::string text = SourceText(from);
  malformed->Warn(text, "A datagram from " + text + " that is not a well-formed SNMP trap was dropped.");
}

void TrapReceiver::NoteSocketDrops(const msghdr& message) {
  for (const cmsghdr* c = CMSG_FIRSTHDR(&message); c != nullptr;
       c = CMSG_NXTHDR(const_cast<msghdr*>(&message), const_cast<cmsghdr*>(c))) {
    if (c->cmsg_level != SOL_SOCKET || c->cmsg_type != SO_RXQ_OVFL) continue;
    uint32_t total = 0;
    std::memcpy(&total, CMSG_DATA(c), sizeof total);
    // The system's counter only grows (and wraps at 32 bits).
    const uint32_t lost = total - socketDrops_;
    socketDrops_ = total;
    if (lost != 0) {
      received_.fetch_add(lost);
      Count(Drop::kSocketBuffer, lost);
    }
  }
}

}  // namespace orla
