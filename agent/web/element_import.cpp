#include "element_import.h"

#include <chrono>
#include <map>
#include <memory>
#include <optional>

#include "add_element_check.h"
#include "agent/core/maintenance_book.h"
#include "agent/core/orla_exception.h"
#include "agent/core/snmp_v3_credential_edit.h"
#include "agent/core/snmp_v3_credentials.h"
#include "agent/devices/element_registry.h"
#include "platform/text/string_printf.h"
#include "maintenance_resource.h"
#include "text_escape.h"

namespace orla {

namespace {

const char* FieldName(AddElementCheck::Field field) {
  return field == AddElementCheck::Field::kName ? "name" : "address";
}

const char* VerdictName(ElementImport::Verdict verdict) {
  switch (verdict) {
    case ElementImport::Verdict::kAdd:
      return "add";
    case ElementImport::Verdict::kSkip:
      return "skip";
    case ElementImport::Verdict::kRefuse:
      break;
  }
  return "refuse";
}

}  // namespace

std::optional<std::string> ElementImport::OwnAssignment(const SnmpV3Credentials& credentials,
                                                        const std::string& address) {
  SnmpV3Credentials::Assignment target;
  if (!SnmpV3Credentials::ParseTarget(address, &target).empty()) return std::nullopt;
  for (const SnmpV3Credentials::Assignment& a : credentials.Assignments()) {
    if (!a.isDefault && a.bits == 32 && a.address == target.address) return a.profile;
  }
  return std::nullopt;
}

std::vector<ElementImport::Line> ElementImport::Judge(const std::vector<ElementCsv::Row>& rows,
                                                      const std::vector<ElementView>& managed,
                                                      const SnmpV3Credentials& credentials) {
  std::map<std::string, std::string> nameAt;    // managed name -> address
  std::map<std::string, std::string> nameOf;    // managed address -> name
  for (const ElementView& e : managed) {
    nameAt[e.record.name] = e.record.address;
    nameOf[e.record.address] = e.record.name;
  }
  std::map<std::string, size_t> namesSeen, addressesSeen;  // -> the line that gave them first
  std::vector<Line> lines;
  lines.reserve(rows.size());
  for (const ElementCsv::Row& row : rows) {
    Line line;
    line.row = row;
    const auto refuse = [&line](const std::string& field, const std::string& text) {
      line.verdict = Verdict::kRefuse;
      line.field = field;
      line.text = text;
    };
    std::optional<std::string> address = row.address;
    if (std::optional<AddElementCheck::Failure> bad =
            AddElementCheck::Check(row.name, &address, AddElementCheck::Addresses::kDottedOnly)) {
      refuse(FieldName(bad->field), bad->text);
    } else if (addressesSeen.count(row.address) != 0) {
      refuse("address", StringPrintf(kAddressTwice, addressesSeen[row.address]));
    } else if (namesSeen.count(row.name) != 0) {
      refuse("name", StringPrintf(kNameTwice, namesSeen[row.name]));
    } else if (nameOf.count(row.address) != 0) {
      line.verdict = Verdict::kSkip;
      line.text = StringPrintf(kManagedAs, nameOf[row.address].c_str());
    } else if (nameAt.count(row.name) != 0) {
      refuse("name", AddElementCheck::kNameInUse);
    } else if (!row.profile.empty() && credentials.Find(row.profile) == nullptr) {
      refuse("snmpv3_profile", kNoProfile);
    } else if (!row.note.empty() && !MaintenanceBook::GoodReason(row.note)) {
      refuse("maintenance_note", MaintenanceBook::kBadReasonText);
    }
    if (line.verdict == Verdict::kAdd && !row.note.empty()) line.text = kInMaintenance;
    if (line.verdict != Verdict::kRefuse) {
      namesSeen.emplace(row.name, row.line);
      addressesSeen.emplace(row.address, row.line);
    }
    lines.push_back(std::move(line));
  }
  return lines;
}

size_t ElementImport::Count(const std::vector<Line>& lines, Verdict verdict) {
  size_t count = 0;
  for (const Line& line : lines) count += line.verdict == verdict ? 1 : 0;
  return count;
}

size_t ElementImport::InMaintenance(const std::vector<Line>& lines) {
  size_t count = 0;
  for (const Line& line : lines) count += line.verdict == Verdict::kAdd && !line.row.note.empty() ? 1 : 0;
  return count;
}

std::string ElementImport::ReportMembers(const std::vector<Line>& lines) {
  std::string json = StringPrintf("\"add\":%zu,\"skip\":%zu,\"refuse\":%zu,\"lines\":[", Count(lines, Verdict::kAdd),
                                  Count(lines, Verdict::kSkip), Count(lines, Verdict::kRefuse));
  for (size_t i = 0; i < lines.size(); ++i) {
    const Line& line = lines[i];
    if (i > 0) json += ',';
    json += StringPrintf("{\"line\":%zu,\"name\":\"", line.row.line) + TextEscape::Json(line.row.name) +
            "\",\"address\":\"" + TextEscape::Json(line.row.address) + "\",\"snmpv3Profile\":\"" +
            TextEscape::Json(line.row.profile) + "\",\"maintenanceNote\":\"" + TextEscape::Json(line.row.note) +
            "\",\"verdict\":\"" + VerdictName(line.verdict) + "\",\"field\":";
    json += line.field.empty() ? std::string("null") : "\"" + TextEscape::Json(line.field) + "\"";
    json += ",\"text\":";
    json += line.text.empty() ? std::string("null") : "\"" + TextEscape::Json(line.text) + "\"";
    json += '}';
  }
  return json + "]";
}

std::string ElementImport::Apply(const std::vector<Line>& lines, ElementRegistry& registry,
                                 const std::string& credentialFile, MaintenanceBook* book, const std::string& by) {
  std::vector<std::pair<std::string, std::string>> adds;
  std::vector<MaintenanceBook::Placement> windows;
  bool assigns = false;
  for (const Line& line : lines) {
    if (line.verdict == Verdict::kRefuse) return "The file has refused lines.";
    if (line.verdict != Verdict::kAdd) continue;
    adds.emplace_back(line.row.name, line.row.address);
    assigns = assigns || !line.row.profile.empty();
    if (!line.row.note.empty()) windows.push_back({line.row.name, {by, line.row.note, 0, 0}});
  }
  if (adds.empty()) return std::string();
  if (!windows.empty() && book == nullptr) return MaintenanceResource::kNoMaintenance;
  // The credentials file stays locked until the elements are in, so that
  // its rollback cannot undo anybody else's change.
  std::unique_ptr<SnmpV3CredentialEdit> edit;
  std::string error;
  std::map<std::string, std::optional<std::string>> before;  // address -> its own assignment before
  // Puts the assignments back as they were; what is said when that fails.
  const auto undoAssignments = [&]() -> std::string {
    if (edit == nullptr) return std::string();
    for (const auto& [address, profile] : before) {
      if (profile) {
        edit->Assign(*profile, address);
      } else {
        edit->Unassign(address);
      }
    }
    std::string undoError;
    return edit->Save(&undoError) ? std::string() : " The SNMPv3 assignments made for it stay: " + undoError;
  };
  if (assigns) {
    if (credentialFile.empty()) return "The SNMPv3 credentials file is not open.";
    edit = std::make_unique<SnmpV3CredentialEdit>(credentialFile);
    if (!edit->Open(&error)) return error;
    for (const Line& line : lines) {
      if (line.verdict != Verdict::kAdd || line.row.profile.empty()) continue;
      before[line.row.address] = OwnAssignment(edit->Credentials(), line.row.address);
      error = edit->Assign(line.row.profile, line.row.address);
      if (!error.empty()) return "line " + std::to_string(line.row.line) + ": " + error;
    }
    if (!edit->Save(&error)) return "The SNMPv3 assignments were not saved: " + error;
  }
  // The windows go in before the elements, so that an element is in
  // maintenance from its first status on.
  if (!windows.empty()) {
    const int64_t end = book->NowMs() + std::chrono::milliseconds(std::chrono::hours(kNoteHours)).count();
    for (MaintenanceBook::Placement& w : windows) w.request.endMs = end;
    const MaintenanceBook::Outcome outcome = book->SetEach(windows, nullptr);
    if (outcome != MaintenanceBook::Outcome::kDone) return MaintenanceBook::Text(outcome) + undoAssignments();
  }
  std::unique_ptr<OrlaException> failed = OrlaException::Catch([&] { registry.AddElements(adds); });
  if (failed == nullptr) return std::string();
  for (const MaintenanceBook::Placement& w : windows) book->End(w.element, nullptr);
  return failed->Message() + undoAssignments();
}

}  // namespace orla
