#include "usm_keys.h"

#include <cstring>
#include <mutex>


namespace orla {

namespace {

struct Protocol {
  const oid* id;
  size_t length;
};

#define KOR_OID(name) Protocol{name, sizeof(name) / sizeof(oid)}

bool AuthProtocol(SnmpMgrUsm::Auth auth, Protocol* out) {
  switch (auth) {
    case SnmpMgrUsm::Auth::kMd5: *out = KOR_OID(usmHMACMD5AuthProtocol); return true;
    case SnmpMgrUsm::Auth::kSha1: *out = KOR_OID(usmHMACSHA1AuthProtocol); return true;
    case SnmpMgrUsm::Auth::kSha224: *out = KOR_OID(usmHMAC128SHA224AuthProtocol); return true;
    case SnmpMgrUsm::Auth::kSha256: *out = KOR_OID(usmHMAC192SHA256AuthProtocol); return true;
    case SnmpMgrUsm::Auth::kSha384: *out = KOR_OID(usmHMAC256SHA384AuthProtocol); return true;
    case SnmpMgrUsm::Auth::kSha512: *out = KOR_OID(usmHMAC384SHA512AuthProtocol); return true;
    case SnmpMgrUsm::Auth::kNone: break;
  }
  return false;
}

bool PrivProtocol(SnmpMgrUsm::Priv priv, Protocol* out) {
  switch (priv) {
    case SnmpMgrUsm::Priv::kDes: *out = KOR_OID(usmDESPrivProtocol); return true;
    case SnmpMgrUsm::Priv::kAes128: *out = KOR_OID(usmAESPrivProtocol); return true;
    case SnmpMgrUsm::Priv::kAes192: *out = KOR_OID(usmAES192PrivProtocol); return true;
    case SnmpMgrUsm::Priv::kAes256: *out = KOR_OID(usmAES256PrivProtocol); return true;
    case SnmpMgrUsm::Priv::kAes192C: *out = KOR_OID(usmAES192CiscoPrivProtocol); return true;
    case SnmpMgrUsm::Priv::kAes256C: *out = KOR_OID(usmAES256CiscoPrivProtocol); return true;
    case SnmpMgrUsm::Priv::kNone: break;
  }
  return false;
}

// The USM's shortest pass phrase.
constexpr size_t kMinPassPhrase = 8;

// The Ku cache has a mutex of its own (it touches no library state, and
// every v3 session open looks into it: under the library lock the polling
// threads would queue behind each other's cryptography for it); the map of
// installed keys is used under the library lock. The Ku cache is bounded:
// it is emptied when it grows past this many keys.
constexpr size_t kMaxCachedKeys = 256;
std::mutex& KuMutex() {
  static auto* mutex = new std::mutex();
  return *mutex;
}
std::map<std::string, std::string>& KuCache() {
  static auto* cache = new std::map<std::string, std::string>();
  return *cache;
}
// (engine ID, user) -> the keys its user-list entry was made with.
std::map<std::string, std::string>& Installed() {
  static auto* installed = new std::map<std::string, std::string>();
  return *installed;
}

std::string Fingerprint(const netsnmp_session& s) {
  std::string print;
  auto add = [&print](const void* data, size_t length) {
    print.append(reinterpret_cast<const char*>(&length), sizeof(length));
    print.append(static_cast<const char*>(data), length);
  };
  add(s.securityAuthProto, s.securityAuthProto ? s.securityAuthProtoLen * sizeof(oid) : 0);
  add(s.securityAuthKey, s.securityAuthKeyLen);
  add(s.securityPrivProto, s.securityPrivProto ? s.securityPrivProtoLen * sizeof(oid) : 0);
  add(s.securityPrivKey, s.securityPrivKeyLen);
  return print;
}

}  // namespace

std::string UsmKeys::Ku(const oid* hash, size_t hashLength, const std::string& passPhrase) {
  std::string key(reinterpret_cast<const char*>(hash), hashLength * sizeof(oid));
  key += '\0';
  key += passPhrase;
  {
    std::lock_guard<std::mutex> hold(KuMutex());
    auto it = KuCache().find(key);
    if (it != KuCache().end()) return it->second;
  }
  u_char ku[USM_AUTH_KU_LEN];
  size_t kuLength = sizeof(ku);
  // generate_Ku only hashes what it is given: no library state.
  if (generate_Ku(hash, static_cast<u_int>(hashLength), reinterpret_cast<const u_char*>(passPhrase.data()),
                  passPhrase.size(), ku, &kuLength) != SNMPERR_SUCCESS) {
    return "";
  }
  std::string derived(reinterpret_cast<const char*>(ku), kuLength);
  std::memset(ku, 0, sizeof(ku));
  std::lock_guard<std::mutex> hold(KuMutex());
  if (KuCache().size() >= kMaxCachedKeys) KuCache().clear();
  KuCache()[key] = derived;
  return derived;
}

bool UsmKeys::Key(const oid* hash, size_t hashLength, const std::string& passPhrase, const char* what, u_char* key,
                  size_t room, size_t* length, std::string* error) {
  if (passPhrase.size() < kMinPassPhrase) {
    *error = std::string("the ") + what + " pass phrase is shorter than 8 characters";
    return false;
  }
  const std::string ku = Ku(hash, hashLength, passPhrase);
  if (ku.empty() || ku.size() > room) {
    *error = std::string("no key could be made from the ") + what + " pass phrase";
    return false;
  }
  std::memcpy(key, ku.data(), ku.size());
  *length = ku.size();
  return true;
}

bool UsmKeys::Fill(const SnmpMgrUsm& usm, netsnmp_session* s, std::string* storage, std::string* error) {
  if (usm.user.empty()) {
    *error = "no user name";
    return false;
  }
  // `storage` keeps the texts the settings point to: user, then context.
  *storage = usm.user;
  storage->push_back('\0');
  const size_t contextAt = storage->size();
  *storage += usm.context;
  s->version = SNMP_VERSION_3;
  s->securityModel = SNMP_SEC_MODEL_USM;
  s->securityName = storage->data();
  s->securityNameLen = usm.user.size();
  s->contextName = storage->data() + contextAt;
  s->contextNameLen = usm.context.size();
  switch (usm.level) {
    case SnmpMgrUsm::Level::kNoAuthNoPriv: s->securityLevel = SNMP_SEC_LEVEL_NOAUTH; return true;
    case SnmpMgrUsm::Level::kAuthNoPriv: s->securityLevel = SNMP_SEC_LEVEL_AUTHNOPRIV; break;
    case SnmpMgrUsm::Level::kAuthPriv: s->securityLevel = SNMP_SEC_LEVEL_AUTHPRIV; break;
  }
  Protocol auth{};
  if (!AuthProtocol(usm.auth, &auth)) {
    *error = "no authentication protocol the library has";
    return false;
  }
  s->securityAuthProto = const_cast<oid*>(auth.id);
  s->securityAuthProtoLen = auth.length;
  if (!Key(auth.id, auth.length, usm.authPassPhrase, "authentication", s->securityAuthKey, sizeof(s->securityAuthKey),
           &s->securityAuthKeyLen, error)) {
    return false;
  }
  if (usm.level != SnmpMgrUsm::Level::kAuthPriv) return true;
  Protocol priv{};
  if (!PrivProtocol(usm.priv, &priv)) {
    *error = "no privacy protocol the library has";
    return false;
  }
  s->securityPrivProto = const_cast<oid*>(priv.id);
  s->securityPrivProtoLen = priv.length;
  // The privacy key is derived with the authentication protocol's hash.
  return Key(auth.id, auth.length, usm.privPassPhrase, "privacy", s->securityPrivKey, sizeof(s->securityPrivKey),
             &s->securityPrivKeyLen, error);
}

void UsmKeys::Install(const std::string& engineId, const netsnmp_session& settings) {
  if (engineId.empty() || settings.securityNameLen == 0) return;
  // The engine is known from now on: the trap receiver takes a device's
  // traps only from an engine with a record (it makes none itself, so that
  // made-up engine IDs cost no state), and the first authenticated message
  // sets the record's boots and time.
  const auto* id = reinterpret_cast<const u_char*>(engineId.data());
  u_int boots = 0, time = 0;
  if (get_enginetime(id, static_cast<u_int>(engineId.size()), &boots, &time, FALSE) != SNMPERR_SUCCESS) {
    set_enginetime(id, static_cast<u_int>(engineId.size()), 0, 0, FALSE);
  }
  const std::string name(settings.securityName, settings.securityNameLen);
  const std::string key = engineId + '\0' + name;
  const std::string print = Fingerprint(settings);
  auto it = Installed().find(key);
  if (it != Installed().end() && it->second == print) return;
  Forget(engineId, name);
  Installed()[key] = print;
}

void UsmKeys::Forget(const std::string& engineId, const std::string& name) {
  if (engineId.empty()) return;
  Installed().erase(engineId + '\0' + name);
  usmUser* user = usm_get_user(reinterpret_cast<const u_char*>(engineId.data()), engineId.size(), name.c_str());
  if (user != nullptr) {
    usm_remove_user(user);
    usm_free_user(user);
  }
}

}  // namespace orla
