#include "plugins/famib_core/fa_mib_reader.h"

#include <algorithm>
#include <cctype>

#include "agent/snmp/oid_ids.h"
#include "agent/snmp/snmp_session.h"
#include "platform/snmpmgr/snmp_api.h"
#include "platform/text/string_printf.h"

namespace orla {

namespace {

// Frees a one-binding answer list however the reading ends.
struct Answer {
  SnmpVarBindList list{};
  ~Answer() { SnmpUtilVarBindListFree(&list); }
  const SnmpVarBind& First() const { return list.list[0]; }
};

}  // namespace

bool FaMibReader::Next(const std::string& from, std::vector<uint32_t>* name, Cell* cell) {
  Answer answer;
  if (!session_->RequestGetNextInView(from.c_str(), &answer.list)) return false;  // past the last object
  if (answer.list.len < 1) return false;
  const AsnObjectIdentifier& found = answer.First().name;
  name->assign(found.ids, found.ids + found.idLength);
  const AsnAny& value = answer.First().value;
  switch (value.asnType) {
    case ASN_INTEGER:
      cell->isInteger = true;
      cell->number = value.asnValue.number;
      break;
    case ASN_COUNTER32:
    case ASN_GAUGE32:
    case ASN_TIMETICKS:
    case ASN_UNSIGNED32:
      cell->number = static_cast<int32_t>(value.asnValue.unsigned32);
      break;
    case ASN_OCTETSTRING:
      if (value.asnValue.string.stream != nullptr) {
        const AsnOctetString& s = value.asnValue.string;
        cell->isOctets = true;
        cell->text = DisplayText(s.stream, s.length);
        for (uint32_t i = 0; i < s.length; ++i) cell->octetsHex += StringPrintf("%02x", s.stream[i]);
      }
      break;
    case ASN_OBJECTIDENTIFIER: {
      const AsnObjectIdentifier& o = value.asnValue.object;
      cell->text = Dotted(std::vector<uint32_t>(o.ids, o.ids + o.idLength));
      break;
    }
    default:
      break;
  }
  return true;
}

bool FaMibReader::NextBelow(const std::string& from, const std::vector<uint32_t>& prefix, size_t restLength,
                            Cell* cell) {
  std::vector<uint32_t> name;
  if (!Next(from, &name, cell)) return false;
  if (name.size() != prefix.size() + restLength || !std::equal(prefix.begin(), prefix.end(), name.begin())) {
    return false;
  }
  cell->rest.assign(name.begin() + static_cast<std::ptrdiff_t>(prefix.size()), name.end());
  return true;
}

std::vector<FaMibReader::Cell> FaMibReader::Walk(const std::string& prefix, size_t restLength, size_t limit) {
  const std::vector<uint32_t> base = OidIds(prefix.c_str());
  std::vector<Cell> cells;
  std::vector<uint32_t> last = base;
  while (cells.size() < limit) {
    std::vector<uint32_t> name;
    Cell cell;
    if (!Next(Dotted(last), &name, &cell)) break;
    if (name.size() != base.size() + restLength || !std::equal(base.begin(), base.end(), name.begin())) break;
    if (name <= last) break;  // a device that does not move forward
    cell.rest.assign(name.begin() + static_cast<std::ptrdiff_t>(base.size()), name.end());
    last = std::move(name);
    cells.push_back(std::move(cell));
  }
  return cells;
}

std::optional<FaMibReader::Cell> FaMibReader::Read(const std::string& oid) {
  std::vector<uint32_t> before = OidIds(oid.c_str());
  const std::vector<uint32_t> wanted = before;
  if (before.empty()) return std::nullopt;
  if (before.back() > 0) {
    --before.back();
  } else {
    before.pop_back();
  }
  std::vector<uint32_t> name;
  Cell cell;
  if (!Next(Dotted(before), &name, &cell) || name != wanted) return std::nullopt;
  return cell;
}

std::string FaMibReader::Dotted(const std::vector<uint32_t>& ids) {
  std::string text;
  for (uint32_t id : ids) text += StringPrintf(text.empty() ? "%u" : ".%u", id);
  return text;
}

std::string FaMibReader::DisplayText(const uint8_t* octets, uint32_t length) {
  std::string text(reinterpret_cast<const char*>(octets), length);
  text.resize(std::min(text.size(), text.find('\0')));
  return TrimRight(std::move(text));
}

std::string FaMibReader::TrimRight(std::string text) {
  while (!text.empty() && std::isspace(static_cast<unsigned char>(text.back())) != 0) text.pop_back();
  return text;
}

std::string FaMibReader::Wwn(const std::string& octetsHex) {
  std::string wwn;
  for (size_t i = 0; i + 1 < octetsHex.size() && i < 16; i += 2) {
    if (!wwn.empty()) wwn += ':';
    wwn += octetsHex.substr(i, 2);
  }
  return wwn;
}

bool FaMibReader::HasWwn(const std::string& octetsHex) {
  return octetsHex.size() >= 16 && octetsHex.find_first_not_of('0') < 16;
}

std::string FaMibReader::UnitIdWwn(const std::vector<uint32_t>& unitId) {
  std::string hex;
  for (size_t i = 0; i < 8 && i < unitId.size(); ++i) hex += StringPrintf("%02x", unitId[i] & 0xffu);
  return Wwn(hex);
}

}  // namespace orla
