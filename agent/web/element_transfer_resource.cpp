#include "element_transfer_resource.h"

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "agent/core/maintenance_book.h"
#include "agent/core/snmp_v3_credential_store.h"
#include "agent/core/snmp_v3_credentials.h"
#include "agent/devices/element_registry.h"
#include "agent_objects.h"
#include "element_change_text.h"
#include "element_csv.h"
#include "element_import.h"
#include "platform/text/string_printf.h"
#include "text_escape.h"

namespace orla {

namespace {

// Whether the query asks for a dry run ("dryRun=true" or "dryRun=1").
bool DryRun(const std::string& query) {
  size_t at = 0;
  while (at <= query.size()) {
    size_t end = query.find('&', at);
    if (end == std::string::npos) end = query.size();
    const std::string pair = query.substr(at, end - at);
    if (pair == "dryRun=true" || pair == "dryRun=1") return true;
    at = end + 1;
  }
  return false;
}

std::vector<ElementView> Managed() {
  ElementRegistry* registry = AgentObjects::FindRegistry();
  return registry != nullptr ? registry->Snapshot()->Read() : std::vector<ElementView>();
}

}  // namespace

ApiReply ElementTransferResource::Import(const ApiCall& call) {
  std::vector<ElementCsv::Row> rows;
  ElementCsv::Problem problem;
  if (!ElementCsv::Parse(call.text, &rows, &problem)) {
    std::string body = "{\"error\":\"" + TextEscape::Json(StringPrintf("Line %zu: ", problem.line) + problem.text) +
                       "\",\"field\":";
    body += problem.field.empty() ? std::string("null") : "\"" + TextEscape::Json(problem.field) + "\"";
    return ApiReply::Json(400, body + StringPrintf(",\"line\":%zu}", problem.line));
  }
  const std::shared_ptr<const SnmpV3Credentials> credentials = SnmpV3CredentialStore::Instance().Current();
  const std::vector<ElementImport::Line> lines = ElementImport::Judge(rows, Managed(), *credentials);
  const std::string report = ElementImport::ReportMembers(lines);
  const bool refused = ElementImport::Count(lines, ElementImport::Verdict::kRefuse) > 0;
  if (refused) {
    return ApiReply::Json(400, "{\"error\":\"" + std::string(kRefused) + "\",\"field\":null," + report + "}");
  }
  if (DryRun(call.query)) return ApiReply::Json(200, "{\"dryRun\":true," + report + "}");
  const std::string failed = ElementImport::Apply(lines, AgentObjects::Registry(),
                                                  SnmpV3CredentialStore::Instance().Path(),
                                                  MaintenanceBook::Instance(), call.user);
  if (!failed.empty()) {
    return ApiReply::Json(409, "{\"error\":\"" + TextEscape::Json(failed) + "\",\"field\":null," + report + "}");
  }
  const size_t added = ElementImport::Count(lines, ElementImport::Verdict::kAdd);
  if (added > 0) {
    call.recordChange(ElementChangeText::Imported(added, ElementImport::Count(lines, ElementImport::Verdict::kSkip),
                                                  ElementImport::InMaintenance(lines)),
                      std::string(), std::string());
  }
  return ApiReply::Json(200, "{\"dryRun\":false," + report + "}");
}

ApiReply ElementTransferResource::Export(const ApiCall&) {
  const std::shared_ptr<const SnmpV3Credentials> credentials = SnmpV3CredentialStore::Instance().Current();
  std::map<std::string, std::string> reasons;  // element -> the reason of its window in force
  if (const MaintenanceBook* book = MaintenanceBook::Instance()) {
    const int64_t now = book->NowMs();
    for (const MaintenanceWindow& w : book->Windows()) {
      if (w.Covers(now)) reasons[w.element] = w.reason;
    }
  }
  std::vector<ElementCsv::Row> rows;
  for (const ElementView& e : Managed()) {
    ElementCsv::Row row;
    row.name = e.record.name;
    row.address = e.record.address;
    row.profile = ElementImport::OwnAssignment(*credentials, e.record.address).value_or(std::string());
    if (auto reason = reasons.find(e.record.name); reason != reasons.end()) row.note = reason->second;
    rows.push_back(std::move(row));
  }
  ApiReply reply = ApiReply::Json(200, ElementCsv::Format(rows));
  reply.contentType = "text/csv; charset=utf-8";
  return reply;
}

}  // namespace orla
