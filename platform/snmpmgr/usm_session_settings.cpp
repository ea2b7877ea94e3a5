#include "usm_session_settings.h"

#include <cstring>
#include <iterator>

namespace orla {

namespace {

struct Protocol {
  const char* name;
  const oid* id;
  size_t length;
};

const Protocol kAuthProtocols[] = {
    {"MD5", usmHMACMD5AuthProtocol, std::size(usmHMACMD5AuthProtocol)},
    {"SHA", usmHMACSHA1AuthProtocol, std::size(usmHMACSHA1AuthProtocol)},
    {"SHA-1", usmHMACSHA1AuthProtocol, std::size(usmHMACSHA1AuthProtocol)},
    {"SHA-224", usmHMAC128SHA224AuthProtocol, std::size(usmHMAC128SHA224AuthProtocol)},
    {"SHA-256", usmHMAC192SHA256AuthProtocol, std::size(usmHMAC192SHA256AuthProtocol)},
    {"SHA-384", usmHMAC256SHA384AuthProtocol, std::size(usmHMAC256SHA384AuthProtocol)},
    {"SHA-512", usmHMAC384SHA512AuthProtocol, std::size(usmHMAC384SHA512AuthProtocol)},
};

const Protocol kPrivProtocols[] = {
    {"DES", usmDESPrivProtocol, std::size(usmDESPrivProtocol)},
    {"AES", usmAESPrivProtocol, std::size(usmAESPrivProtocol)},
    {"AES-128", usmAESPrivProtocol, std::size(usmAESPrivProtocol)},
    {"AES-192", usmAES192PrivProtocol, std::size(usmAES192PrivProtocol)},
    {"AES-256", usmAES256PrivProtocol, std::size(usmAES256PrivProtocol)},
    {"AES-192-C", usmAES192CiscoPrivProtocol, std::size(usmAES192CiscoPrivProtocol)},
    {"AES-256-C", usmAES256CiscoPrivProtocol, std::size(usmAES256CiscoPrivProtocol)},
};

template <size_t N>
const Protocol* Find(const Protocol (&table)[N], const std::string& name) {
  for (const Protocol& p : table) {
    if (name == p.name) return &p;
  }
  return nullptr;
}

// The USM's shortest pass phrase.
constexpr size_t kMinPassphrase = 8;

// The master key (Ku) of `passphrase` with the hash of `auth` into `key`
// (its size in, the key's length out); `what` names the pass phrase in the
// error, never its value.
bool MakeKey(const Protocol& auth, const std::string& passphrase, const char* what, u_char* key, size_t* length,
             std::string* error) {
  if (passphrase.size() < kMinPassphrase) {
    *error = std::string("the ") + what + " pass phrase is shorter than 8 characters";
    return false;
  }
  if (generate_Ku(auth.id, static_cast<u_int>(auth.length), reinterpret_cast<const u_char*>(passphrase.data()),
                  passphrase.size(), key, length) != SNMPERR_SUCCESS) {
    *error = std::string("no key could be made from the ") + what + " pass phrase";
    return false;
  }
  return true;
}

}  // namespace

bool UsmSessionSettings::Apply(const SnmpUsmCredentials& credentials, netsnmp_session* session,
                               std::string* error) {
  if (credentials.user.empty()) {
    *error = "no user name";
    return false;
  }
  session->version = SNMP_VERSION_3;
  session->securityModel = SNMP_SEC_MODEL_USM;
  session->securityName = const_cast<char*>(credentials.user.c_str());
  session->securityNameLen = credentials.user.size();
  if (!credentials.context.empty()) {
    session->contextName = const_cast<char*>(credentials.context.c_str());
    session->contextNameLen = credentials.context.size();
  }
  switch (credentials.level) {
    case SnmpUsmCredentials::Level::kNoAuthNoPriv: session->securityLevel = SNMP_SEC_LEVEL_NOAUTH; return true;
    case SnmpUsmCredentials::Level::kAuthNoPriv: session->securityLevel = SNMP_SEC_LEVEL_AUTHNOPRIV; break;
    case SnmpUsmCredentials::Level::kAuthPriv: session->securityLevel = SNMP_SEC_LEVEL_AUTHPRIV; break;
  }
  const Protocol* auth = Find(kAuthProtocols, credentials.authProtocol);
  if (auth == nullptr) {
    *error = "unknown authentication protocol \"" + credentials.authProtocol + "\"";
    return false;
  }
  session->securityAuthProto = const_cast<oid*>(auth->id);
  session->securityAuthProtoLen = auth->length;
  session->securityAuthKeyLen = USM_AUTH_KU_LEN;
  if (!MakeKey(*auth, credentials.authPassphrase, "authentication", session->securityAuthKey,
               &session->securityAuthKeyLen, error)) {
    return false;
  }
  if (credentials.level != SnmpUsmCredentials::Level::kAuthPriv) return true;

  const Protocol* priv = Find(kPrivProtocols, credentials.privProtocol);
  if (priv == nullptr) {
    *error = "unknown privacy protocol \"" + credentials.privProtocol + "\"";
    return false;
  }
  session->securityPrivProto = const_cast<oid*>(priv->id);
  session->securityPrivProtoLen = priv->length;
  session->securityPrivKeyLen = USM_PRIV_KU_LEN;
  // The privacy key is made with the authentication protocol's hash.
  return MakeKey(*auth, credentials.privPassphrase, "privacy", session->securityPrivKey,
                 &session->securityPrivKeyLen, error);
}

}  // namespace orla
