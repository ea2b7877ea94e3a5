// Makes SNMPv3 traps (authPriv, SHA-256 + AES-128) as a managed device
// sends them, for the trap-ingest benchmark: its own process, talking to
// net-snmp directly, so that neither receiver shares library state with the
// sender. The device's engine ID, boots and time are first learned from the
// simulated device itself (one authenticated Get), and every trap is then
// encoded with that engine as its authoritative engine, as the device would.
//
//   kor_v3_traps engine DEVICE PORT USER AUTH_PASS PRIV_PASS CONTEXT
//       prints the device's engine ID in hex (for a receiver's createUser -e)
//   kor_v3_traps encode DEVICE PORT USER AUTH_PASS PRIV_PASS CONTEXT FIRST COUNT OUT
//       writes COUNT traps, numbered FIRST on (snmpTrapOID
//       1.3.6.1.3.94.0.<1000 + number>, which RFC 3584 maps to the
//       enterprise 1.3.6.1.3.94 and that specific trap), to OUT: each a
//       4-byte length in host order, then the datagram.
//
// Encoding goes through the library's own send path: each trap is sent to a
// socket of this process on loopback and read back from it, so the bytes
// are exactly what net-snmp puts on the wire.
#include <net-snmp/net-snmp-config.h>
#include <net-snmp/net-snmp-includes.h>
#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iterator>
#include <string>
#include <vector>

#include "snmp_mgr_library.h"

namespace {

struct Options {
  std::string device;
  std::string port;
  std::string user;
  std::string authPass;
  std::string privPass;
  std::string context;
};

[[noreturn]] void Fail(const std::string& what) {
  std::fprintf(stderr, "kor_v3_traps: %s\n", what.c_str());
  std::exit(1);
}

// The user's settings for a session to `peer`.
void Settings(const Options& o, const std::string& peer, netsnmp_session* s) {
  snmp_sess_init(s);
  s->peername = strdup(peer.c_str());
  s->version = SNMP_VERSION_3;
  s->securityName = strdup(o.user.c_str());
  s->securityNameLen = o.user.size();
  s->securityLevel = SNMP_SEC_LEVEL_AUTHPRIV;
  s->securityAuthProto = usmHMAC192SHA256AuthProtocol;
  s->securityAuthProtoLen = std::size(usmHMAC192SHA256AuthProtocol);
  s->securityPrivProto = usmAESPrivProtocol;
  s->securityPrivProtoLen = std::size(usmAESPrivProtocol);
  s->contextName = strdup(o.context.c_str());
  s->contextNameLen = o.context.size();
  s->securityAuthKeyLen = USM_AUTH_KU_LEN;
  s->securityPrivKeyLen = USM_PRIV_KU_LEN;
  if (generate_Ku(s->securityAuthProto, static_cast<u_int>(s->securityAuthProtoLen),
                  reinterpret_cast<const u_char*>(o.authPass.data()), o.authPass.size(), s->securityAuthKey,
                  &s->securityAuthKeyLen) != SNMPERR_SUCCESS ||
      generate_Ku(s->securityAuthProto, static_cast<u_int>(s->securityAuthProtoLen),
                  reinterpret_cast<const u_char*>(o.privPass.data()), o.privPass.size(), s->securityPrivKey,
                  &s->securityPrivKeyLen) != SNMPERR_SUCCESS) {
    Fail("no key from the pass phrases");
  }
  s->timeout = 1000000;
  s->retries = 3;
}

// Asks the device for sysName.0: the library discovers its engine ID and
// learns its boots and time. The engine ID, raw.
std::string LearnEngine(const Options& o) {
  netsnmp_session settings;
  Settings(o, "udp:" + o.device + ":" + o.port, &settings);
  netsnmp_session* session = snmp_open(&settings);
  if (session == nullptr) Fail("no session to the device (engine ID discovery failed?)");
  static const oid kSysName[] = {1, 3, 6, 1, 2, 1, 1, 5, 0};
  netsnmp_pdu* pdu = snmp_pdu_create(SNMP_MSG_GET);
  snmp_add_null_var(pdu, kSysName, std::size(kSysName));
  netsnmp_pdu* response = nullptr;
  if (snmp_synch_response(session, pdu, &response) != STAT_SUCCESS || response == nullptr) {
    Fail("the device did not answer an authenticated Get");
  }
  snmp_free_pdu(response);
  std::string engine(reinterpret_cast<const char*>(session->securityEngineID), session->securityEngineIDLen);
  snmp_close(session);
  return engine;
}

void Encode(const Options& o, const std::string& engine, long first, long count, const char* out) {
  const int capture = socket(AF_INET, SOCK_DGRAM, 0);
  sockaddr_in at{};
  at.sin_family = AF_INET;
  at.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t length = sizeof at;
  if (capture < 0 || bind(capture, reinterpret_cast<sockaddr*>(&at), sizeof at) != 0 ||
      getsockname(capture, reinterpret_cast<sockaddr*>(&at), &length) != 0) {
    Fail("no loopback socket");
  }
  netsnmp_session settings;
  Settings(o, "udp:127.0.0.1:" + std::to_string(ntohs(at.sin_port)), &settings);
  // The device is the authoritative engine of its traps.
  settings.securityEngineID = reinterpret_cast<u_char*>(const_cast<char*>(engine.data()));
  settings.securityEngineIDLen = engine.size();
  settings.flags |= SNMP_FLAGS_DONT_PROBE;
  netsnmp_session* session = snmp_open(&settings);
  if (session == nullptr) Fail("no trap session");

  FILE* file = std::fopen(out, "wb");
  if (file == nullptr) Fail(std::string("cannot write ") + out);
  static const oid kSysUpTime[] = {1, 3, 6, 1, 2, 1, 1, 3, 0};
  static const oid kSnmpTrapOid[] = {1, 3, 6, 1, 6, 3, 1, 1, 4, 1, 0};
  std::vector<unsigned char> datagram(65536);
  for (long i = first; i < first + count; ++i) {
    netsnmp_pdu* pdu = snmp_pdu_create(SNMP_MSG_TRAP2);
    const u_long ticks = 700;
    snmp_pdu_add_variable(pdu, kSysUpTime, std::size(kSysUpTime), ASN_TIMETICKS, &ticks, sizeof ticks);
    const oid trapOid[] = {1, 3, 6, 1, 3, 94, 0, static_cast<oid>(1000 + i)};
    snmp_pdu_add_variable(pdu, kSnmpTrapOid, std::size(kSnmpTrapOid), ASN_OBJECT_ID, trapOid, sizeof trapOid);
    if (snmp_send(session, pdu) == 0) Fail("a trap could not be encoded");
    const ssize_t n = recv(capture, datagram.data(), datagram.size(), 0);
    if (n <= 0) Fail("a trap was not read back");
    const uint32_t size = static_cast<uint32_t>(n);
    std::fwrite(&size, sizeof size, 1, file);
    std::fwrite(datagram.data(), 1, size, file);
  }
  if (std::fclose(file) != 0) Fail(std::string("cannot write ") + out);
  snmp_close(session);
  close(capture);
}

}  // namespace

int main(int argc, char** argv) {
  const std::string mode = argc > 1 ? argv[1] : "";
  if (!((mode == "engine" && argc == 8) || (mode == "encode" && argc == 11))) {
    std::fprintf(stderr,
                 "usage: kor_v3_traps engine DEVICE PORT USER AUTH_PASS PRIV_PASS CONTEXT\n"
                 "       kor_v3_traps encode DEVICE PORT USER AUTH_PASS PRIV_PASS CONTEXT FIRST COUNT OUT\n");
    return 2;
  }
  const Options o{argv[2], argv[3], argv[4], argv[5], argv[6], argv[7]};
  // The library as the agent sets it up: no configuration files, no
  // persistent state, no MIB files read.
  orla::SnmpMgrLibrary::Initialize();
  const std::string engine = LearnEngine(o);
  if (mode == "engine") {
    for (unsigned char c : engine) std::printf("%02x", c);
    std::printf("\n");
    return 0;
  }
  Encode(o, engine, std::atol(argv[8]), std::atol(argv[9]), argv[10]);
  return 0;
}
