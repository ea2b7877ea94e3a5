#include <net-snmp/net-snmp-config.h>
#include <net-snmp/net-snmp-includes.h>

#include "tests/unit/snmp/net_snmp_decoder.h"

namespace orla::test {

namespace {

DecodedValue FromVariable(const netsnmp_variable_list* v) {
  DecodedValue value;
  value.ok = true;
  value.type = v->type;
  switch (v->type) {
    case ASN_INTEGER:
      value.number = *v->val.integer;
      break;
    case ASN_TIMETICKS:
    case ASN_COUNTER:
    case ASN_GAUGE:
      value.unsignedNumber = static_cast<unsigned long>(*v->val.integer);
      break;
    case ASN_OCTET_STR:
    case ASN_IPADDRESS:
      value.bytes.assign(reinterpret_cast<const char*>(v->val.string), v->val_len);
      break;
    case ASN_OBJECT_ID:
      value.oid.assign(v->val.objid, v->val.objid + v->val_len / sizeof(oid));
      break;
    default:
      value.ok = false;
  }
  return value;
}

}  // namespace

DecodedValue NetSnmpDecodeValue(const std::vector<uint8_t>& encoding) {
  DecodedValue value;
  if (encoding.empty()) return value;
  std::vector<uint8_t> data(encoding);
  size_t length = data.size();
  u_char type = 0;
  u_char* end = nullptr;
  switch (data[0]) {
    case ASN_INTEGER:
      end = asn_parse_int(data.data(), &length, &type, &value.number, sizeof(value.number));
      break;
    case ASN_TIMETICKS:
      end = asn_parse_unsigned_int(data.data(), &length, &type, &value.unsignedNumber,
                                   sizeof(value.unsignedNumber));
      break;
    case ASN_OCTET_STR:
    case ASN_IPADDRESS: {
      std::vector<u_char> bytes(data.size());
      size_t size = bytes.size();
      end = asn_parse_string(data.data(), &length, &type, bytes.data(), &size);
      value.bytes.assign(reinterpret_cast<const char*>(bytes.data()), size);
      break;
    }
    case ASN_OBJECT_ID: {
      std::vector<oid> ids(MAX_OID_LEN);
      size_t count = ids.size();
      end = asn_parse_objid(data.data(), &length, &type, ids.data(), &count);
      value.oid.assign(ids.begin(), ids.begin() + static_cast<long>(count));
      break;
    }
    default:
      return value;
  }
  value.type = type;
  value.ok = end != nullptr && length == 0;
  return value;
}

bool NetSnmpDecodeBinding(const std::vector<uint8_t>& encoding, DecodedBinding* binding) {
  std::vector<uint8_t> data(encoding);
  std::vector<oid> name(MAX_OID_LEN);
  size_t nameLength = name.size();
  u_char valueType = 0;
  size_t valueLength = 0;
  u_char* valueStart = nullptr;
  size_t remaining = data.size();
  if (snmp_parse_var_op(data.data(), name.data(), &nameLength, &valueType, &valueLength,
                        &valueStart, &remaining) == nullptr ||
      remaining != 0) {
    return false;
  }
  binding->name.assign(name.begin(), name.begin() + static_cast<long>(nameLength));
  const std::vector<uint8_t> value(valueStart, data.data() + data.size());
  binding->value = NetSnmpDecodeValue(value);
  return binding->value.ok;
}

DecodedTrap NetSnmpDecodeTrap(const std::vector<uint8_t>& message) {
  DecodedTrap trap;
  std::vector<uint8_t> data(message);
  size_t length = data.size();
  u_char type = 0;
  u_char* p = asn_parse_sequence(data.data(), &length, &type,
                                 ASN_SEQUENCE | ASN_CONSTRUCTOR, "message");
  if (p == nullptr || length != data.size() - static_cast<size_t>(p - data.data())) return trap;
  p = asn_parse_int(p, &length, &type, &trap.version, sizeof(trap.version));
  if (p == nullptr) return trap;
  u_char community[256];
  size_t communityLength = sizeof(community);
  p = asn_parse_string(p, &length, &type, community, &communityLength);
  if (p == nullptr) return trap;
  trap.community.assign(reinterpret_cast<const char*>(community), communityLength);

  netsnmp_pdu* pdu = snmp_pdu_create(SNMP_MSG_TRAP);
  pdu->version = SNMP_VERSION_1;
  size_t pduLength = length;
  if (snmp_pdu_parse(pdu, p, &pduLength) == 0 && pduLength == 0) {
    trap.command = pdu->command;
    trap.enterprise.assign(pdu->enterprise, pdu->enterprise + pdu->enterprise_length);
    for (int i = 0; i < 4; ++i) trap.agentAddress.push_back(pdu->agent_addr[i]);
    trap.genericTrap = pdu->trap_type;
    trap.specificTrap = pdu->specific_type;
    trap.timeStamp = pdu->time;
    trap.ok = true;
    for (netsnmp_variable_list* v = pdu->variables; v != nullptr; v = v->next_variable) {
      DecodedBinding binding;
      binding.name.assign(v->name, v->name + v->name_length);
      binding.value = FromVariable(v);
      trap.ok = trap.ok && binding.value.ok;
      trap.bindings.push_back(binding);
    }
  }
  snmp_free_pdu(pdu);
  return trap;
}

}  // namespace orla::test
