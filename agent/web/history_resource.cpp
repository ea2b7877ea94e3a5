#include "history_resource.h"

#include <charconv>
#include <memory>
#include <optional>
#include <string>

#include "agent/devices/element_registry.h"
#include "agent/history/element_history.h"
#include "agent/history/history_layout.h"
#include "agent_objects.h"
#include "platform/rrd/rrd_file.h"
#include "platform/text/string_printf.h"
#include "remove_element_page.h"
#include "text_escape.h"

namespace orla {

std::string HistoryResource::Json(const std::string& name, const std::string& range, const HistoryReading& reading) {
  std::string json = "{\"element\":\"" + TextEscape::Json(name) + "\",\"range\":\"" + range + "\"";
  json += StringPrintf(",\"step\":%lld,\"timestamps\":[", static_cast<long long>(reading.stepMs));
  // A month of a large element is some 150,000 numbers: each written with
  // std::to_chars into a small buffer, not through printf and a string each.
  char text[32];
  for (size_t i = 0; i < reading.timesMs.size(); ++i) {
    if (i > 0) json += ',';
    json.append(text, std::to_chars(text, text + sizeof text, reading.timesMs[i]).ptr);
  }
  json += "],\"series\":[";
  for (size_t s = 0; s < reading.series.size(); ++s) {
    const HistoryReading::Series& series = reading.series[s];
    json += s == 0 ? "{" : ",{";
    json += StringPrintf("\"name\":\"%s %d %s\",\"part\":\"%s\",\"index\":%d,\"kind\":\"%s\",\"unit\":\"%s\",\"points\":[",
                         series.part.c_str(), series.index, series.kind.c_str(), series.part.c_str(), series.index,
                         series.kind.c_str(), TextEscape::Json(series.unit).c_str());
    for (size_t i = 0; i < series.points.size(); ++i) {
      if (i > 0) json += ',';
      if (!series.points[i]) {
        json += "null";
        continue;
      }
      // As printf's "%.6g" writes it.
      json.append(text, std::to_chars(text, text + sizeof text, *series.points[i], std::chars_format::general, 6).ptr);
    }
    json += "]}";
  }
  return json + "]}";
}

ApiReply HistoryResource::Get(const ApiCall& call) {
  const std::string range = call.QueryField("range").value_or("day");
  if (!HistoryLayout::RangeNamed(range)) return ApiReply::Error(400, kBadRange, "range");
  ElementRegistry* registry = AgentObjects::FindRegistry();
  if (registry == nullptr || registry->Snapshot()->FindByName(call.name) == nullptr) {
    return ApiReply::Error(404, RemoveElementPage::kNoSuchElement);
  }
  ElementHistory* history = ElementHistory::Instance();
  if (history == nullptr) return ApiReply::Error(503, kHistoryOff);
  try {
    const std::optional<HistoryReading> reading = history->Read(call.name, range);
    return ApiReply::Json(200, Json(call.name, range, reading.value_or(HistoryReading())));
  } catch (const RrdFile::Error& e) {
    return ApiReply::Error(500, e.what());
  }
}

}  // namespace orla
