#include "net_snmp_convert.h"

#include <cstring>
#include <vector>

namespace orla {

namespace {

bool CopyOctets(const uint8_t* bytes, size_t length, AsnOctetString* out) {
  out->stream = static_cast<uint8_t*>(SnmpUtilMemAlloc(length));
  if (out->stream == nullptr) return false;
  if (length > 0) std::memcpy(out->stream, bytes, length);
  out->length = static_cast<uint32_t>(length);
  out->dynamic = true;
  return true;
}

}  // namespace

bool NetSnmpConvert::ToOid(const oid* ids, size_t count, AsnObjectIdentifier* out) {
  out->idLength = 0;
  out->ids = static_cast<uint32_t*>(SnmpUtilMemAlloc(sizeof(uint32_t) * count));
  if (out->ids == nullptr) return false;
  for (size_t i = 0; i < count; ++i) {
    if (ids[i] > 0xFFFFFFFFu) {
      SnmpUtilOidFree(out);
      return false;
    }
    out->ids[i] = static_cast<uint32_t>(ids[i]);
  }
  out->idLength = static_cast<uint32_t>(count);
  return true;
}

bool NetSnmpConvert::ToAsnAny(const netsnmp_variable_list* variable, AsnAny* out) {
  std::memset(out, 0, sizeof(*out));
  out->asnType = ASN_NULL;
  switch (variable->type) {
    case ASN_INTEGER:
      out->asnType = ASN_INTEGER;
      out->asnValue.number =
          variable->val.integer != nullptr ? static_cast<int32_t>(*variable->val.integer) : 0;
      return true;
    case ASN_COUNTER32:
    case ASN_GAUGE32:
    case ASN_TIMETICKS:
    case ASN_UNSIGNED32:
      out->asnType = variable->type;
      out->asnValue.unsigned32 =
          variable->val.integer != nullptr ? static_cast<uint32_t>(*variable->val.integer) : 0;
      return true;
    case ASN_COUNTER64:
      out->asnType = ASN_COUNTER64;
      if (variable->val.counter64 != nullptr) {
        out->asnValue.counter64.highPart = static_cast<uint32_t>(variable->val.counter64->high);
        out->asnValue.counter64.lowPart = static_cast<uint32_t>(variable->val.counter64->low);
      }
      return true;
    case ASN_OCTETSTRING:
    case ASN_IPADDRESS:
    case ASN_OPAQUE:
    case ASN_BITS: {
      AsnOctetString octets{nullptr, 0, false};
      if (!CopyOctets(variable->val.string, variable->val.string != nullptr ? variable->val_len : 0,
                      &octets)) {
        return false;
      }
      out->asnType = variable->type;
      out->asnValue.string = octets;
      return true;
    }
    case ASN_OBJECTIDENTIFIER: {
      AsnObjectIdentifier id{0, nullptr};
      const size_t count = variable->val.objid != nullptr ? variable->val_len / sizeof(oid) : 0;
      if (!ToOid(variable->val.objid, count, &id)) return false;
      out->asnType = ASN_OBJECTIDENTIFIER;
      out->asnValue.object = id;
      return true;
    }
    default:
      return true;
  }
}

bool NetSnmpConvert::ToVarBind(const netsnmp_variable_list* variable, SnmpVarBind* out) {
  std::memset(out, 0, sizeof(*out));
  out->value.asnType = ASN_NULL;
  if (!ToOid(variable->name, variable->name_length, &out->name)) return false;
  if (!ToAsnAny(variable, &out->value)) {
    SnmpUtilVarBindFree(out);
    return false;
  }
  return true;
}

bool NetSnmpConvert::AddToPdu(netsnmp_pdu* pdu, const SnmpVarBind& binding) {
  std::vector<oid> name(binding.name.ids, binding.name.ids + binding.name.idLength);
  const AsnAny& value = binding.value;
  const netsnmp_variable_list* added = nullptr;
  switch (value.asnType) {
    case ASN_NULL:
      added = snmp_pdu_add_variable(pdu, name.data(), name.size(), ASN_NULL, nullptr, 0);
      break;
    case ASN_INTEGER: {
      const long number = value.asnValue.number;
      added = snmp_pdu_add_variable(pdu, name.data(), name.size(), ASN_INTEGER, &number,
                                    sizeof(number));
      break;
    }
    case ASN_COUNTER32:
    case ASN_GAUGE32:
    case ASN_TIMETICKS:
    case ASN_UNSIGNED32: {
      const unsigned long number = value.asnValue.unsigned32;
      added = snmp_pdu_add_variable(pdu, name.data(), name.size(), value.asnType, &number,
                                    sizeof(number));
      break;
    }
    case ASN_OCTETSTRING:
    case ASN_IPADDRESS:
    case ASN_OPAQUE:
    case ASN_BITS: {
      const AsnOctetString& octets = value.asnValue.string;
      if (value.asnType == ASN_IPADDRESS && octets.length != 4) return false;
      static const uint8_t kEmpty = 0;
      added = snmp_pdu_add_variable(pdu, name.data(), name.size(), value.asnType,
                                    octets.length > 0 ? octets.stream : &kEmpty, octets.length);
      break;
    }
    case ASN_OBJECTIDENTIFIER: {
      const AsnObjectIdentifier& id = value.asnValue.object;
      std::vector<oid> ids(id.ids, id.ids + id.idLength);
      added = snmp_pdu_add_variable(pdu, name.data(), name.size(), ASN_OBJECTIDENTIFIER,
                                    ids.data(), ids.size() * sizeof(oid));
      break;
    }
    default:
      return false;
  }
  return added != nullptr;
}

}  // namespace orla
