#include "agent/snmp/trap_message.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <memory>
#include <new>

#include "agent/core/error_codes.h"
#include "agent/core/orla_exception.h"
#include "ber_writer.h"
#include "datagram_sender.h"
#include "agent/core/agent_settings.h"

namespace orla {

namespace {

[[noreturn]] void ThrowNoMemory() {
  const int error = errno != 0 ? errno : ENOMEM;
  throw new OrlaException(kErrMemory, static_cast<uint32_t>(error), kMsgMemory);
}

// Frees the message buffer unless it is handed out.
struct BufferGuard {
  uint8_t* buffer = nullptr;
  ~BufferGuard() { std::free(buffer); }
};

}  // namespace

TrapMessage::TrapMessage() {
  bindings_ = new (std::nothrow) ObjectList();
  if (bindings_ == nullptr) ThrowNoMemory();
}

TrapMessage::~TrapMessage() {
  delete version_;
  delete community_;
  delete spare_;
  delete spareSlot_;
  delete enterprise_;
  delete agentAddress_;
  delete genericTrap_;
  delete specificTrap_;
  delete timeStamp_;
  delete bindings_;
}

template <typename T>
void TrapMessage::Replace(T** field, T* value) {
  if (value == nullptr) ThrowNoMemory();
  delete *field;
  *field = value;
}

void TrapMessage::SetVersion(int32_t version) {
  Replace(&version_, new (std::nothrow) SnmpInteger(version));
}

int32_t TrapMessage::GetVersion() const { return version_ != nullptr ? version_->GetValue() : -1; }

void TrapMessage::SetCommunity(const char* community) {
  std::unique_ptr<SnmpOctetString> value(new (std::nothrow) SnmpOctetString(community));
  if (value != nullptr && !value->IsAllocated()) value.reset();
  Replace(&community_, value.release());
}

const char* TrapMessage::GetCommunity() const {
  return community_ != nullptr ? community_->GetText() : nullptr;
}

void TrapMessage::SetSpare(int32_t spare) {
  Replace(&spare_, new (std::nothrow) SnmpInteger(spare));
}

int32_t TrapMessage::GetSpare() const { return spare_ != nullptr ? spare_->GetValue() : -1; }

void TrapMessage::SetEnterprise(const uint32_t* ids, int32_t count) {
  std::unique_ptr<SnmpObjectId> value(new (std::nothrow) SnmpObjectId(ids, count));
  if (value != nullptr && !value->IsAllocated()) value.reset();
  Replace(&enterprise_, value.release());
}

int32_t TrapMessage::GetEnterprise(const uint32_t** ids) const {
  if (enterprise_ == nullptr) {
    if (ids != nullptr) *ids = nullptr;
    return -1;
  }
  if (ids != nullptr) *ids = enterprise_->GetIds();
  return enterprise_->GetCount();
}

void TrapMessage::SetAgentAddress(const int32_t address[4]) {
  Replace(&agentAddress_, new (std::nothrow) SnmpIpAddress(address));
}

const int32_t* TrapMessage::GetAgentAddress() const {
  return agentAddress_ != nullptr ? agentAddress_->GetAddress() : nullptr;
}

void TrapMessage::SetGenericTrap(int32_t generic) {
  Replace(&genericTrap_, new (std::nothrow) SnmpInteger(generic));
}

int32_t TrapMessage::GetGenericTrap() const {
  return genericTrap_ != nullptr ? genericTrap_->GetValue() : -1;
}

void TrapMessage::SetSpecificTrap(int32_t specific) {
  Replace(&specificTrap_, new (std::nothrow) SnmpInteger(specific));
}

int32_t TrapMessage::GetSpecificTrap() const {
  return specificTrap_ != nullptr ? specificTrap_->GetValue() : -1;
}

void TrapMessage::SetTimeStamp(uint32_t ticks) {
  Replace(&timeStamp_, new (std::nothrow) SnmpTimeTicks(ticks));
}

uint32_t TrapMessage::GetTimeStamp() const {
  return timeStamp_ != nullptr ? timeStamp_->GetValue() : 0;
}

void TrapMessage::AddBinding(SnmpBinding* binding) { bindings_->Append(binding); }

SnmpBinding* TrapMessage::GetBinding(int32_t position) const {
  // Only bindings are ever appended.
  return static_cast<SnmpBinding*>(bindings_->Get(position));
}

int32_t TrapMessage::GetBindingCount() const { return bindings_->Count(); }

const SnmpBinding* TrapMessage::FindBinding(const std::vector<uint32_t>& prefix, std::vector<uint32_t>* suffix) const {
  for (int32_t i = 0; i < GetBindingCount(); ++i) {
    const SnmpBinding* binding = GetBinding(i);
    const SnmpObjectId* name = binding != nullptr ? binding->GetName() : nullptr;
    if (name == nullptr || name->GetIds() == nullptr) continue;
    const auto count = static_cast<size_t>(name->GetCount());
    if (count < prefix.size() ||
        (!prefix.empty() && std::memcmp(name->GetIds(), prefix.data(), prefix.size() * sizeof(uint32_t)) != 0)) {
      continue;
    }
    if (suffix != nullptr) suffix->assign(name->GetIds() + prefix.size(), name->GetIds() + count);
    return binding;
  }
  return nullptr;
}

void TrapMessage::ClearBindings() {
  auto* fresh = new (std::nothrow) ObjectList();
  if (fresh == nullptr) ThrowNoMemory();
  delete bindings_;
  bindings_ = fresh;
}

void TrapMessage::EncodeMessage(uint8_t** buffer, int32_t* length) const {
  *buffer = nullptr;
  *length = 0;
  if (version_ == nullptr || community_ == nullptr || enterprise_ == nullptr ||
      agentAddress_ == nullptr || genericTrap_ == nullptr || specificTrap_ == nullptr ||
      timeStamp_ == nullptr) {
    return;
  }

  // Sizes first, in 64 bits: a part that cannot be encoded (-1) or a message
  // beyond 32-bit lengths is refused before anything is allocated.
  const int32_t bindingCount = bindings_->Count();
  int64_t l3 = 0;
  for (int32_t i = 0; i < bindingCount; ++i) {
    const int32_t n = GetBinding(i)->EncodedLength();
    if (n < 0) ThrowNoMemory();
    l3 += n;
  }
  const SnmpValue* pduFields[5] = {enterprise_, agentAddress_, genericTrap_, specificTrap_,
                                   timeStamp_};
  const SnmpValue* headerFields[2] = {version_, community_};
  constexpr int64_t kMax = std::numeric_limits<int32_t>::max() - 16;
  auto sequence = [](int64_t n) -> int64_t {
    return 1 + BerWriter::LengthOctets(static_cast<int32_t>(n)) + n;
  };
  if (l3 > kMax) ThrowNoMemory();
  int64_t l2 = sequence(l3);
  for (const SnmpValue* field : pduFields) {
    const int32_t n = field->EncodedLength();
    if (n < 0) ThrowNoMemory();
    l2 += n;
  }
  if (l2 > kMax) ThrowNoMemory();
  int64_t l1 = sequence(l2);
  for (const SnmpValue* field : headerFields) {
    const int32_t n = field->EncodedLength();
    if (n < 0) ThrowNoMemory();
    l1 += n;
  }
  if (l1 > kMax) ThrowNoMemory();
  const int64_t total = sequence(l1);
  if (total > kMax) ThrowNoMemory();

  BufferGuard message;
  message.buffer = static_cast<uint8_t*>(std::malloc(static_cast<size_t>(total)));
  if (message.buffer == nullptr) ThrowNoMemory();
  uint8_t* out = message.buffer;

  auto header = [&out](uint8_t tag, int64_t n) {
    *out++ = tag;
    out += BerWriter::WriteLength(out, static_cast<int32_t>(n));
  };
  // Each part is encoded into its own buffer, copied into place, released.
  auto part = [&out](const SnmpValue* value) {
    const int32_t n = value->EncodedLength();
    uint8_t* encoded = value->Encode();
    if (encoded == nullptr) ThrowNoMemory();
    std::memcpy(out, encoded, static_cast<size_t>(n));
    std::free(encoded);
    out += n;
  };

  header(0x30, l1);
  for (const SnmpValue* field : headerFields) part(field);
  header(0xA4, l2);
  for (const SnmpValue* field : pduFields) part(field);
  header(0x30, l3);
  for (int32_t i = 0; i < bindingCount; ++i) part(GetBinding(i));

  if (out - message.buffer != total) ThrowNoMemory();  // a part changed its own size
  *buffer = message.buffer;
  *length = static_cast<int32_t>(total);
  message.buffer = nullptr;
}

void TrapMessage::SendTo(const char* host) const {
  uint8_t* buffer = nullptr;
  int32_t length = 0;
  EncodeMessage(&buffer, &length);
  if (length == 0) return;
  DatagramSender sender;
  try {
    sender.Open(host, TrapPort());
  } catch (OrlaException*) {
    std::free(buffer);
    throw;
  }
  sender.Send(buffer, length);  // takes the buffer
  sender.Close();
}

uint16_t TrapMessage::TrapPort() {
  return static_cast<uint16_t>(AgentSettings::Current().TrapPort());
}

}  // namespace orla
