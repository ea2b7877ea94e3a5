#include "elements_command.h"

#include <cerrno>
#include <optional>

#include "platform/text/json_reader.h"
#include "platform/text/json_value.h"
#include "platform/zepa/https_fetch.h"
#include "platform/text/regular_file.h"

namespace orla {

namespace {

constexpr const char* kUsage =
    "usage: korelements [--url URL] [--token-file FILE] [--ca-file FILE] import FILE [--dry-run]\n"
    "       korelements [--url URL] [--token-file FILE] [--ca-file FILE] export\n"
    "FILE is CSV: a header naming the columns name, address and optionally snmpv3_profile and\n"
    "maintenance_note, then one device a line; a device with a maintenance note is added in\n"
    "maintenance for 24 hours, the note as the reason.\n";
// An answer the tool reads: the API's report of a 10000-line file is well
// below this.
constexpr size_t kMaxAnswerBytes = 16u << 20;

std::optional<JsonValue> ReadJson(const std::string& text) {
  JsonReader::Failure failure;
  return JsonReader(JsonReader::Limits{8, 200000}).Read(text, &failure);
}

std::string Text(const JsonValue* value) {
  return value != nullptr && value->IsString() ? value->StringValue() : std::string();
}

long Number(const JsonValue& object, const char* name) {
  const JsonValue* value = object.Find(name);
  return value != nullptr && value->IsWholeNumber() ? static_cast<long>(value->NumberValue()) : 0;
}

}  // namespace

int ElementsCommand::Run(const std::vector<std::string>& args, const Defaults& defaults, const Transport& transport,
                         std::ostream& out, std::ostream& err) {
  Call base;
  base.url = defaults.url;
  base.trustFile = defaults.trustFile;
  base.token = defaults.token;
  base.ownServer = true;
  std::string tokenFile;
  std::vector<std::string> rest;
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    const bool takesValue = arg == "--url" || arg == "--token-file" || arg == "--ca-file";
    if (takesValue && i + 1 >= args.size()) {
      err << "korelements: " << arg << " needs a value\n" << kUsage;
      return 2;
    }
    if (arg == "--url") {
      base.url = args[++i];
      base.ownServer = false;
    } else if (arg == "--token-file") {
      tokenFile = args[++i];
    } else if (arg == "--ca-file") {
      base.trustFile = args[++i];
      base.ownServer = false;
    } else {
      rest.push_back(arg);
    }
  }
  if (!tokenFile.empty()) {
    std::string text;
    const int error = RegularFile::Read(tokenFile, &text, true, 4096);
    if (error != 0) {
      err << "korelements: cannot read " << RegularFile::Describe(tokenFile, error) << "\n";
      return 1;
    }
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r' || text.back() == ' ')) text.pop_back();
    base.token = text;
  }
  if (!base.url.empty() && base.url.back() != '/') base.url += '/';
  if (rest.empty()) {
    err << kUsage;
    return 2;
  }
  if (base.token.empty()) {
    err << "korelements: no access token: give --token-file FILE (korusers token add USER --name NAME makes "
           "one)\n";
    return 2;
  }
  if (rest[0] == "export" && rest.size() == 1) return Export(base, transport, out, err);
  if (rest[0] == "import" && (rest.size() == 2 || (rest.size() == 3 && rest[2] == "--dry-run"))) {
    return Import(base, rest[1], rest.size() == 3, transport, out, err);
  }
  err << kUsage;
  return 2;
}

std::string ElementsCommand::ErrorOf(const Answer& answer) {
  if (answer.status == 0) return answer.error;
  const std::optional<JsonValue> json = ReadJson(answer.body);
  const std::string text = json ? Text(json->Find("error")) : std::string();
  return "HTTP " + std::to_string(answer.status) + ": " + (text.empty() ? answer.body.substr(0, 200) : text);
}

int ElementsCommand::Import(const Call& base, const std::string& file, bool dryRun, const Transport& transport,
                            std::ostream& out, std::ostream& err) {
  Call call = base;
  call.method = "POST";
  call.url += dryRun ? "import?dryRun=true" : "import";
  call.contentType = "text/csv";
  const int error = RegularFile::Read(file, &call.body, true, 1u << 20);
  if (error != 0) {
    err << "korelements: cannot read " << (error == EFBIG ? file + ": it is larger than 1 MiB, the most an import takes"
                                                          : RegularFile::Describe(file, error))
        << "\n";
    return 1;
  }
  const Answer answer = transport(call);
  const std::optional<JsonValue> json = answer.status != 0 ? ReadJson(answer.body) : std::nullopt;
  const JsonValue* lines = json ? json->Find("lines") : nullptr;
  if (lines == nullptr) {
    err << "korelements: " << ErrorOf(answer) << "\n";
    return 1;
  }
  for (const JsonValue& line : lines->Items()) {
    const std::string verdict = Text(line.Find("verdict"));
    out << "line " << Number(line, "line") << ": " << verdict << " " << Text(line.Find("name")) << " ("
        << Text(line.Find("address")) << ")";
    if (verdict == "refuse") out << ": " << Text(line.Find("field")) << ": " << Text(line.Find("text"));
    if (verdict == "skip") out << ": " << Text(line.Find("text"));
    if (verdict == "add" && !Text(line.Find("maintenanceNote")).empty()) {
      out << ": " << Text(line.Find("text")) << " Note: " << Text(line.Find("maintenanceNote"));
    }
    out << "\n";
  }
  out << Number(*json, "add") << " to add, " << Number(*json, "skip") << " skipped, " << Number(*json, "refuse")
      << " refused";
  if (answer.status != 200) {
    out << "; nothing was imported\n";
    err << "korelements: " << ErrorOf(answer) << "\n";
    return 1;
  }
  out << (dryRun ? "; a dry run: nothing was changed\n" : "; imported\n");
  return 0;
}

int ElementsCommand::Export(const Call& base, const Transport& transport, std::ostream& out, std::ostream& err) {
  Call call = base;
  call.method = "GET";
  call.url += "export";
  const Answer answer = transport(call);
  if (answer.status != 200) {
    err << "korelements: " << ErrorOf(answer) << "\n";
    return 1;
  }
  out << answer.body;
  return 0;
}

ElementsCommand::Answer ElementsCommand::Fetch(const Call& call) {
  HttpsFetch::Request request;
  request.method = call.method;
  request.url = call.url;
  request.headers = {{"Authorization", "Bearer " + call.token}, {"Accept", "application/json"}};
  request.body = call.body;
  request.contentType = call.contentType;
  request.trustFile = call.trustFile;
  request.verifyHost = !call.ownServer;
  request.maxAnswerBytes = kMaxAnswerBytes;
  const HttpsFetch::Answer fetched = HttpsFetch::Fetch(request);
  Answer answer;
  answer.status = fetched.status;
  answer.body = fetched.body;
  answer.error = fetched.error;
  return answer;
}

}  // namespace orla
