#include "platform/snmpmgr/snmp_api.h"

#include <cstdlib>
#include <cstring>

namespace orla {

void* SnmpUtilMemAlloc(size_t bytes) { return std::calloc(bytes == 0 ? 1 : bytes, 1); }

void* SnmpUtilMemReAlloc(void* memory, size_t bytes) {
  return std::realloc(memory, bytes == 0 ? 1 : bytes);
}

void SnmpUtilMemFree(void* memory) { std::free(memory); }

void SnmpUtilOidFree(AsnObjectIdentifier* oid) {
  if (oid == nullptr) return;
  SnmpUtilMemFree(oid->ids);
  oid->ids = nullptr;
  oid->idLength = 0;
}

bool SnmpUtilOidCpy(AsnObjectIdentifier* destination, const AsnObjectIdentifier* source) {
  destination->idLength = 0;
  destination->ids =
      static_cast<uint32_t*>(SnmpUtilMemAlloc(sizeof(uint32_t) * source->idLength));
  if (destination->ids == nullptr) return false;
  if (source->idLength > 0) {
    std::memcpy(destination->ids, source->ids, sizeof(uint32_t) * source->idLength);
  }
  destination->idLength = source->idLength;
  return true;
}

void SnmpUtilAsnAnyFree(AsnAny* any) {
  if (any == nullptr) return;
  switch (any->asnType) {
    case ASN_OCTETSTRING:
    case ASN_BITS:
    case ASN_SEQUENCE:
    case ASN_IPADDRESS:
    case ASN_OPAQUE:
      if (any->asnValue.string.dynamic) SnmpUtilMemFree(any->asnValue.string.stream);
      break;
    case ASN_OBJECTIDENTIFIER:
      SnmpUtilOidFree(&any->asnValue.object);
      break;
    default:
      break;
  }
  std::memset(&any->asnValue, 0, sizeof(any->asnValue));
  any->asnType = ASN_NULL;
}

void SnmpUtilVarBindFree(SnmpVarBind* binding) {
  if (binding == nullptr) return;
  SnmpUtilOidFree(&binding->name);
  SnmpUtilAsnAnyFree(&binding->value);
}

void SnmpUtilVarBindListFree(SnmpVarBindList* list) {
  if (list == nullptr) return;
  if (list->list != nullptr) {
    for (uint32_t i = 0; i < list->len; ++i) SnmpUtilVarBindFree(&list->list[i]);
    SnmpUtilMemFree(list->list);
  }
  list->list = nullptr;
  list->len = 0;
}

}  // namespace orla
