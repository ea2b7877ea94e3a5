// KORAgent as a process with simulated tape controllers, its JSON API over
// HTTPS with curl: each operation as the administrator, a reader and an
// anonymous caller (status, body, the audit event of a change), and bad
// input refused with the field named and nothing changed on disk.
#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/stat.h>

#include <chrono>
#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "platform/text/string_printf.h"
#include "tests/integration/web/agent_pages_fixture.h"
#include "tests/support/file_text.h"
#include "tests/support/free_port.h"
#include "tests/support/shell_command.h"
#include "tests/support/simulated_devices.h"
#include "tests/support/snmpsim_v3_users.h"
#include "tests/support/text_lines.h"
#include "tests/support/wait_until.h"

namespace orla {
namespace {

using test::Contains;

enum class Who { kAdministrator, kReader, kNoRight, kAnonymous, kOperator };

class ApiCalls : public test::AgentPagesFixture {
 protected:
  void SetUp() override {
    AgentPagesFixture::SetUp();
    dir_.Write("KOR/client.ini", "# Hosts that receive this agent's traps\n\n");
    test::InstallDevicesFolder(dir_.Path());
    snmpPort_ = test::FreeLoopbackPort(SOCK_DGRAM);
    // The simulator, started by root, runs as nobody: the folders above its
    // own must be enterable.
    ::chmod(dir_.Path().c_str(), 0755);
    const std::string started = simulator_.Start(snmpPort_, "127.0.9.31", "tc01,tc02");
    ASSERT_TRUE(Contains(started, "tc02 127.0.9.32")) << started;
    Start({"KORAGENT_SNMP_PORT=" + std::to_string(snmpPort_), "KORAGENT_EVENT_LOG=" + dir_.File("events.log")});
    Login(jar(Who::kAdministrator));
    AddUser(KORUSERS_PATH, "reader", "KORAccess=1", jar(Who::kReader));
    AddUser(KORUSERS_PATH, "none", "KORAccess=0", jar(Who::kNoRight));
    AddUser(KORUSERS_PATH, "oper", "KORAccess=4", jar(Who::kOperator));
  }

  std::string jar(Who who) { return dir_.File(StringPrintf("caller%d.jar", static_cast<int>(who))); }

  // One call, as a script makes it (asking for JSON); the body, when given,
  // of the content type `type`. Sent from this server's own origin unless
  // `sameOrigin` is false.
  test::HttpsReply Call(Who who, const std::string& method, const std::string& path, const std::string& body,
                        bool sameOrigin = true, const char* type = "application/json") {
    std::string extra = "-X " + method + " -H 'Accept: application/json'";
    if (sameOrigin) extra += " " + https_.OriginHeader();
    if (who != Who::kAnonymous) extra += " -b '" + jar(who) + "'";
    if (!body.empty()) {
      dir_.Write("body.json", body);
      extra += StringPrintf(" -H 'Content-Type: %s' --data-binary @'", type) + dir_.File("body.json") + "'";
    }
    return https_.Request("/KOR/api/v1/" + path, extra);
  }

  // One call with `token` as its bearer token: no session, no Origin.
  test::HttpsReply TokenCall(const std::string& token, const std::string& method, const std::string& path,
                             const std::string& body = "") {
    std::string extra = "-X " + method + " -H 'Authorization: Bearer " + token + "'";
    if (!body.empty()) {
      dir_.Write("body.json", body);
      extra += " -H 'Content-Type: application/json' --data-binary @'" + dir_.File("body.json") + "'";
    }
    return https_.Request("/KOR/api/v1/" + path, extra);
  }
  // The users tool on the agent's data directory; its standard output.
  std::string Korusers(const std::string& args, int* status = nullptr) {
    std::string out = test::CommandOutput(StringPrintf("%s -d '%s' %s 2>/dev/null", KORUSERS_PATH,
                                                       dir_.File("KORZEPD").c_str(), args.c_str()),
                                          status);
    while (!out.empty() && out.back() == '\n') out.pop_back();
    return out;
  }

  std::string Elements() { return test::ReadFile(dir_.File("KOR/KORAgent.db")); }
  std::string Changes() { return test::ReadFile(dir_.File("KOR/changes.jsonl")); }
  std::string Users() { return test::ReadFile(dir_.File("KORZEPD/users")); }

  int snmpPort_ = 0;
  test::SimulatedDevices simulator_{dir_.File("sim")};
};

TEST_F(ApiCalls, EachOperationAnswersEachCallerAsItsRightAllows) {
  const Who admin = Who::kAdministrator, reader = Who::kReader, none = Who::kNoRight, anyone = Who::kAnonymous;
  const std::string add = R"({"name":"tc1","address":"127.0.9.31"})";
  const std::string rename = R"({"name":"tc2"})";
  const char* const kLogIn = R"({"error":"You must log in.","field":null})";
  const char* const kNotAdmin = "You must log in (or log in again) as administrator to perform this operation.";
  struct Row {
    Who who;
    const char* method;
    const char* path;
    std::string body;
    int status;
    std::string answer;  // what the body holds
    std::string change;  // the audit event's text; empty: the call changes nothing
    bool sameOrigin = true;
  };
  const Row rows[] = {
      {anyone, "GET", "elements", "", 401, kLogIn, ""},
      {none, "GET", "elements", "", 403, "KORAccess is 0", ""},
      {anyone, "POST", "elements", add, 401, kLogIn, ""},
      {reader, "POST", "elements", add, 403, kNotAdmin, ""},
      {admin, "POST", "elements", add, 403, "did not come from a page of this server", "", false},
      {admin, "POST", "elements", add, 201, R"("name":"tc1","address":"127.0.9.31","status":)",
       "Change by administrator from 127.0.0.1: added the device tc1 (127.0.9.31)."},
      {admin, "POST", "elements", R"({"name":"tc1","address":"127.0.9.32"})", 409,
       R"({"error":"There is already a tape controller using that name.  Please enter a new name.","field":"name"})",
       ""},
      {admin, "POST", "elements", R"({"name":"tc9","address":"127.0.9.31"})", 409,
       R"(already being managed.","field":"address"})", ""},
      {anyone, "GET", "elements", "", 401, kLogIn, ""},
      {reader, "GET", "elements", "", 200, R"({"elements":[{"name":"tc1","address":"127.0.9.31",)", ""},
      {admin, "GET", "elements", "", 200, R"({"elements":[{"name":"tc1",)", ""},
      {anyone, "GET", "elements/tc1", "", 401, kLogIn, ""},
      {reader, "GET", "elements/tc1", "", 200, R"("reason":)", ""},
      {admin, "GET", "elements/nothere", "", 404,
       R"({"error":"The tape controller specified does not exist.","field":null})", ""},
      {anyone, "GET", "elements/tc1/history", "", 401, kLogIn, ""},
      {none, "GET", "elements/tc1/history", "", 403, "KORAccess is 0", ""},
      {reader, "GET", "elements/tc1/history?range=week", "", 200,
       R"({"element":"tc1","range":"week","step":3600000,"timestamps":[)", ""},
      {reader, "GET", "elements/tc1/history", "", 200, R"({"element":"tc1","range":"day","step":300000,)", ""},
      {admin, "GET", "elements/tc1/history?range=decade", "", 400,
       R"({"error":"This field is \"day\", \"week\", \"month\" or \"year\".","field":"range"})", ""},
      {admin, "GET", "elements/nothere/history", "", 404, "does not exist.", ""},
      {anyone, "GET", "agent", "", 401, kLogIn, ""},
      {reader, "GET", "agent", "", 200, R"({"version":"V2.7.2.13","pollingInterval":300,"elements":1,"counts":{)", ""},
      {anyone, "GET", "openapi.json", "", 401, kLogIn, ""},
      {reader, "GET", "openapi.json", "", 200, R"("openapi": "3.1.0")", ""},
      {anyone, "PATCH", "elements/tc1", rename, 401, kLogIn, ""},
      {reader, "PATCH", "elements/tc1", rename, 403, kNotAdmin, ""},
      {admin, "PATCH", "elements/tc1", rename, 200, R"({"name":"tc2","address":"127.0.9.31",)",
       "Change by administrator from 127.0.0.1: renamed the device tc1 to tc2."},
      {reader, "GET", "elements/tc2/history?range=year", "", 200, R"({"element":"tc2","range":"year","step":86400000,)",
       ""},
      {admin, "PUT", "elements/tc2", rename, 405, R"({"error":"This method is not served here.","field":null})", ""},
      {admin, "GET", "nothing", "", 404, R"({"error":"There is no such resource.","field":null})", ""},
      {anyone, "DELETE", "elements/tc2", "", 401, kLogIn, ""},
      {reader, "DELETE", "elements/tc2", "", 403, kNotAdmin, ""},
      {admin, "DELETE", "elements/tc2", "", 200, R"({"removed":"tc2"})",
       "Change by administrator from 127.0.0.1: removed the device tc2."},
      {admin, "DELETE", "elements/tc2", "", 404, "does not exist.", ""},
      {reader, "GET", "elements", "", 200, R"({"elements":[]})", ""},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(StringPrintf("%d %s %s %s", static_cast<int>(row.who), row.method, row.path, row.body.c_str()));
    const std::string elementsBefore = Elements();
    const std::string changesBefore = Changes();
    const test::HttpsReply reply = Call(row.who, row.method, row.path, row.body, row.sameOrigin);
    EXPECT_EQ(reply.status, row.status) << reply.body;
    EXPECT_TRUE(Contains(reply.body, row.answer)) << reply.body;
    EXPECT_TRUE(Contains(reply.headers, "application/json")) << reply.headers;
    if (row.change.empty()) {
      EXPECT_EQ(Changes(), changesBefore);
      EXPECT_EQ(Elements(), elementsBefore);
    } else {
      const std::string added = Changes().substr(changesBefore.size());
      EXPECT_EQ(test::Lines(added).size(), 1u) << added;
      EXPECT_TRUE(Contains(added, row.change)) << added;
      EXPECT_NE(Elements(), elementsBefore);
    }
    if (row.status == 405) {
      EXPECT_TRUE(Contains(reply.headers, "Allow: GET, PATCH, DELETE")) << reply.headers;
    }
  }
}

TEST_F(ApiCalls, BadInputIsRefusedWithItsFieldNamedAndChangesNothing) {
  ASSERT_EQ(Call(Who::kAdministrator, "POST", "elements", R"({"name":"tc1","address":"127.0.9.31"})").status, 201);
  const std::string elementsBefore = Elements();
  const std::string changesBefore = Changes();
  ASSERT_TRUE(Contains(elementsBefore, "tc1"));
  struct Row {
    const char* method;
    const char* path;
    std::string body;
    int status;
    std::string error;
    const char* field;  // null: "field":null
  };
  const Row rows[] = {
      {"POST", "elements", "not json", 400, "The request body is not well-formed JSON.", nullptr},
      {"POST", "elements", R"({"name": tc3, "address":"127.0.9.32"})", 400, "The request body is not well-formed JSON.",
       "name"},
      {"POST", "elements", R"({"name":"tc3","address":"127.0.9.32",})", 400, "The request body is not well-formed JSON.",
       "address"},
      {"POST", "elements", R"(["tc3","127.0.9.32"])", 400, "The request body must be a JSON object.", nullptr},
      {"POST", "elements", R"({"name":"tc3","address":"127.0.9.32","colour":"red"})", 400,
       "This field is not known here.", "colour"},
      {"POST", "elements", R"({"name":7,"address":"127.0.9.32"})", 400, "This field must be a string.", "name"},
      {"POST", "elements", R"({"name":"tc3","name":"tc4","address":"127.0.9.32"})", 400, "A field is named twice.",
       "name"},
      {"POST", "elements", R"({"name":"tc3"})", 400, "This field is required.", "address"},
      {"POST", "elements", R"({"name":[[[[[[[[["tc3"]]]]]]]]],"address":"127.0.9.32"})", 400,
       "The request body nests arrays and objects too deeply.", "name"},
      {"POST", "elements", R"({"name":"tc3","address":")" + std::string(4100, '1') + "\"}", 413,
       "Request bodies are limited to 4096 bytes.", nullptr},
      // Over the web server's own cap: refused before the agent sees it, in JSON all the same.
      {"POST", "elements", R"({"name":"tc3","address":")" + std::string(9000, '1') + "\"}", 413,
       "Request bodies are limited to 8192 bytes.", nullptr},
      {"POST", "elements", R"({"name":"ninechars","address":"127.0.9.32"})", 400,
       "The tape controller name must be between 1 and 8 characters in length.", "name"},
      {"POST", "elements", R"({"name":"tc;3","address":"127.0.9.32"})", 400,
       "The space, pipe, plus, semicolon, and apostrophe characters are not permitted.", "name"},
      {"POST", "elements", R"({"name":"tc3","address":"127.0.9.256"})", 400,
       "The specified address could not be verified.", "address"},
      {"POST", "elements", R"({"name":"tc3","address":""})", 400, "No address has been specified.", "address"},
      {"PATCH", "elements/tc1", R"({"name":"ninechars"})", 400, "The name must be between 1 and 8 characters long.",
       "name"},
      {"PATCH", "elements/tc1", R"({"name":"tc1"})", 400, "Please enter a new name for the tape controller.", "name"},
      {"PATCH", "elements/tc1", R"({"name":"tc3","address":"x"})", 400, "This field is not known here.", "address"},
      {"DELETE", "elements/tc1", R"({"name":"tc1"})", 400, "This request takes no body.", nullptr},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(StringPrintf("%s %s %.80s", row.method, row.path, row.body.c_str()));
    const test::HttpsReply reply = Call(Who::kAdministrator, row.method, row.path, row.body);
    EXPECT_EQ(reply.status, row.status) << reply.body;
    const std::string field = row.field != nullptr ? StringPrintf("\"%s\"", row.field) : std::string("null");
    EXPECT_EQ(reply.body, "{\"error\":\"" + row.error + "\",\"field\":" + field + "}");
    EXPECT_EQ(Elements(), elementsBefore);
    EXPECT_EQ(Changes(), changesBefore);
  }
}

// A list of devices from a file: judged whole, applied whole or not at all,
// devices that do not answer kept and retried, and an export that imports
// back as nothing new.
TEST_F(ApiCalls, ImportIsWholeOrNothingAndAnExportImportsBackAsNothingNew) {
  const auto import = [this](const std::string& csv, const std::string& query = "") {
    return Call(Who::kAdministrator, "POST", "import" + query, csv, true, "text/csv");
  };
  // 127.0.9.39 answers nobody: it is added all the same, unbound.
  const std::string csv = "name,address\ntc1,127.0.9.31\ntc2,127.0.9.32\ndown,127.0.9.39\n";
  // The same with a maintenance note for the silent one.
  const std::string noted =
      "name,address,maintenance_note\ntc1,127.0.9.31,\ntc2,127.0.9.32,\ndown,127.0.9.39,\"re-cabling, rack 4\"\n";
  const std::string elementsBefore = Elements();
  const std::string changesBefore = Changes();
  struct Row {
    const char* what;
    std::string csv;
    int status;
    std::string answer;
  };
  const Row refused[] = {
      {"dry run", csv + "?dryRun=true", 200, R"({"dryRun":true,"add":3,"skip":0,"refuse":0,)"},
      {"dry run with a note", noted + "?dryRun=true", 200,
       R"("maintenanceNote":"re-cabling, rack 4","verdict":"add","field":null,"text":"In maintenance for 24 hours from the import."})"},
      {"a note with a control character", noted + "tc3,127.0.9.33,\"a\tb\"\n", 400,
       R"("line":5,"name":"tc3","address":"127.0.9.33","snmpv3Profile":"","maintenanceNote":"a\tb","verdict":"refuse",)"
       R"("field":"maintenance_note","text":"A reason is required: at most 1000 characters, without control characters."})"},
      {"bad header", "name,addr\ntc1,127.0.9.31\n", 400,
       R"({"error":"Line 1: This column is not known here.","field":"addr","line":1})"},
      {"a name twice", csv + "tc1,127.0.9.33\n", 400,
       R"("line":5,"name":"tc1","address":"127.0.9.33","snmpv3Profile":"","maintenanceNote":"","verdict":"refuse","field":"name","text":"The name is also on line 2."})"},
      {"an address twice", csv + "tc3,127.0.9.31\n", 400, R"("text":"The address is also on line 2.")"},
      {"a name of 9 characters", csv + "ninechars,127.0.9.33\n", 400,
       R"("field":"name","text":"The tape controller name must be between 1 and 8 characters in length.")"},
      {"an address out of range", csv + "tc3,127.0.9.256\n", 400,
       R"("field":"address","text":"The specified address could not be verified.")"},
      {"IPv6", csv + "tc3,::1\n", 400, R"("text":"An import takes IPv4 addresses written as four numbers (10.1.2.3).")"},
      {"a field short", csv + "tc3\n", 400,
       R"({"error":"Line 5: The line does not have as many fields as the header has columns.","field":null,"line":5})"},
      {"10 MB", "name,address\n" + std::string(10u << 20, 'x'), 413,
       R"({"error":"Request bodies are limited to 1048576 bytes.","field":null})"},
  };
  for (const Row& row : refused) {
    SCOPED_TRACE(row.what);
    const size_t query = row.csv.find('?');
    const test::HttpsReply reply =
        query == std::string::npos ? import(row.csv) : import(row.csv.substr(0, query), row.csv.substr(query));
    EXPECT_EQ(reply.status, row.status) << reply.body.substr(0, 400);
    EXPECT_TRUE(Contains(reply.body, row.answer)) << reply.body.substr(0, 400);
    EXPECT_EQ(Elements(), elementsBefore);
    EXPECT_EQ(Changes(), changesBefore);
    EXPECT_TRUE(Contains(Call(Who::kReader, "GET", "maintenance", "").body, R"("windows":[]})"));
  }

  // Applied at once, without waiting for the silent device, which is in
  // maintenance from now on; one audit event.
  const test::HttpsReply applied = import(noted);
  ASSERT_EQ(applied.status, 200) << applied.body;
  EXPECT_TRUE(Contains(applied.body, R"({"dryRun":false,"add":3,"skip":0,"refuse":0,)")) << applied.body;
  EXPECT_EQ(Elements(), "tc1|127.0.9.31\ntc2|127.0.9.32\ndown|127.0.9.39\n");
  const std::string added = Changes().substr(changesBefore.size());
  EXPECT_EQ(test::Lines(added).size(), 1u) << added;
  EXPECT_TRUE(Contains(added, "Change by administrator from 127.0.0.1: imported 3 devices from a file (0 already "
                              "managed; 1 in maintenance for 24 hours).")) << added;
  const std::string windows = Call(Who::kReader, "GET", "maintenance", "").body;
  EXPECT_TRUE(Contains(windows, R"("element":"down",)")) << windows;
  EXPECT_TRUE(Contains(windows, R"("reason":"re-cabling, rack 4","by":"administrator"})")) << windows;
  long long start = 0, end = 0;
  const size_t window = windows.find(R"("element":"down","start":)");
  ASSERT_NE(window, std::string::npos) << windows;
  ASSERT_EQ(std::sscanf(windows.c_str() + window + 25, "%lld,\"end\":%lld", &start, &end), 2) << windows;
  EXPECT_EQ(end - start, 24LL * 60 * 60 * 1000);
  // The answering devices are recognised in the background; the silent one
  // stays listed with why.
  EXPECT_TRUE(Contains(Call(Who::kReader, "GET", "elements/down", "").body, R"("bound":false,"reason":"Being recognised")"));
  EXPECT_TRUE(test::WaitUntil([&] { return Contains(Call(Who::kReader, "GET", "elements/tc2", "").body, R"("bound":true)"); },
                              std::chrono::seconds(60)));
  const std::string tc2 = Call(Who::kReader, "GET", "elements/tc2", "").body;
  EXPECT_TRUE(Contains(tc2, R"("status":1,"bound":true,"reason":"Unit 1 warning")")) << tc2;
  EXPECT_TRUE(test::WaitUntil([&] { return Contains(Call(Who::kReader, "GET", "elements/down", "").body, "Not responding"); },
                              std::chrono::seconds(90)));

  // An export imports back as nothing new.
  const test::HttpsReply exported = Call(Who::kReader, "GET", "export", "");
  ASSERT_EQ(exported.status, 200);
  EXPECT_TRUE(Contains(exported.headers, "text/csv")) << exported.headers;
  EXPECT_EQ(exported.body, "name,address,snmpv3_profile,maintenance_note\r\ntc1,127.0.9.31,,\r\ntc2,127.0.9.32,,\r\n"
                           "down,127.0.9.39,,\"re-cabling, rack 4\"\r\n");
  const std::string changesAfter = Changes();
  const test::HttpsReply again = import(exported.body);
  EXPECT_EQ(again.status, 200);
  EXPECT_TRUE(Contains(again.body, R"("add":0,"skip":3,"refuse":0)")) << again.body;
  EXPECT_EQ(Changes(), changesAfter);
  EXPECT_EQ(Call(Who::kReader, "POST", "import", csv, true, "text/csv").status, 403);

  // korelements does the same with a token, trusting the agent's certificate.
  dir_.Write("token", Korusers("token add administrator --name tool") + "\n");
  const std::string changesBeforeTool = Changes();  // the token's own audit event is in
  dir_.Write("again.csv", exported.body);
  dir_.Write("bad.csv", csv + "ninechars,127.0.9.40\n");
  const auto korelements = [this](const std::string& args, int* status) {
    return test::CommandOutput(StringPrintf("%s --url https://127.0.0.1:%d/KOR/api/v1/ --ca-file '%s' --token-file '%s' "
                                            "%s 2>&1",
                                            KORELEMENTS_PATH, https_.port, dir_.File("KORZEPD/server.crt").c_str(),
                                            dir_.File("token").c_str(), args.c_str()),
                               status);
  };
  int status = -1;
  EXPECT_EQ(korelements("export", &status), exported.body);
  EXPECT_EQ(status, 0);
  std::string out = korelements("import '" + dir_.File("again.csv") + "' --dry-run", &status);
  EXPECT_TRUE(Contains(out, "line 2: skip tc1 (127.0.9.31): Already managed as tc1.\n")) << out;
  EXPECT_TRUE(Contains(out, "0 to add, 3 skipped, 0 refused; a dry run: nothing was changed\n")) << out;
  EXPECT_EQ(status, 0);
  dir_.Write("noted.csv", "name,address,maintenance_note\nnew,127.0.9.41,rack 4\n");
  out = korelements("import '" + dir_.File("noted.csv") + "' --dry-run", &status);
  EXPECT_TRUE(Contains(out, "line 2: add new (127.0.9.41): In maintenance for 24 hours from the import. Note: rack 4\n"))
      << out;
  out = korelements("import '" + dir_.File("bad.csv") + "'", &status);
  EXPECT_TRUE(Contains(out, "line 5: refuse ninechars (127.0.9.40): name: The tape controller name must be between 1 "
                            "and 8 characters in length.\n")) << out;
  EXPECT_TRUE(Contains(out, "; nothing was imported\n")) << out;
  EXPECT_NE(status, 0);
  EXPECT_EQ(Changes(), changesBeforeTool);

  // One device that is down, added through the API at once.
  const test::HttpsReply kept =
      Call(Who::kAdministrator, "POST", "elements", R"({"name":"down2","address":"127.0.9.38","whenDown":"keep"})");
  EXPECT_EQ(kept.status, 201) << kept.body;
  EXPECT_TRUE(Contains(kept.body, R"("name":"down2","address":"127.0.9.38")")) << kept.body;
  EXPECT_TRUE(Contains(Elements(), "down2|127.0.9.38\n"));
  EXPECT_EQ(Call(Who::kAdministrator, "POST", "elements", R"({"name":"x","address":"127.0.9.37","whenDown":"maybe"})").body,
            R"({"error":"This field is \"refuse\" or \"keep\".","field":"whenDown"})");
}

// A discovery run over the simulated devices: one run at a time, a cancel,
// the results with their suggested names, and an adoption that is whole or
// nothing with the add dialog's texts and one audit event.
TEST_F(ApiCalls, DiscoveryRunsOneAtATimeAndItsDevicesAreAdoptedWholeOrNotAtAll) {
  const Who admin = Who::kAdministrator;
  const auto idOf = [](const std::string& body) {
    const size_t at = body.find("\"id\":\"");
    return at == std::string::npos ? std::string() : body.substr(at + 6, body.find('"', at + 6) - at - 6);
  };
  const auto ended = [&](const std::string& id) {
    std::string body;
    const bool done = test::WaitUntil(
        [&] {
          body = Call(admin, "GET", "discovery/" + id, "").body;
          return !Contains(body, R"("state":"running")");
        },
        std::chrono::seconds(60), std::chrono::milliseconds(200));
    return done ? body : "still running: " + body;
  };
  struct Row {
    Who who;
    const char* method;
    const char* path;
    std::string body;
    int status;
    std::string answer;
  };
  const Row refused[] = {
      {Who::kReader, "POST", "discovery", R"({"ranges":"127.0.9.31"})", 403, "as administrator"},
      {Who::kReader, "GET", "discovery/1", "", 403, "as administrator"},
      {admin, "POST", "discovery", R"({"ranges":"127.0.0.0/19"})", 400,
       R"({"error":"\"127.0.0.0/19\" brings the run to more than 4096 addresses (a /20); discover a larger network in parts.","field":"ranges"})"},
      {admin, "POST", "discovery", R"({"ranges":"::1"})", 400,
       R"({"error":"\"::1\" is an IPv6 address; only IPv4 ranges can be discovered for now.","field":"ranges"})"},
      {admin, "POST", "discovery", R"({"range":"127.0.9.31"})", 400,
       R"({"error":"This field is not known here.","field":"range"})"},
      {admin, "POST", "discovery", R"({})", 400, R"({"error":"This field is required.","field":"ranges"})"},
      {admin, "GET", "discovery/99", "", 404, R"({"error":"There is no discovery run with this id.","field":null})"},
      {admin, "DELETE", "discovery/x", "", 404, R"({"error":"There is no discovery run with this id.","field":null})"},
  };
  const std::string changesBefore = Changes();
  for (const Row& row : refused) {
    SCOPED_TRACE(StringPrintf("%s %s %s", row.method, row.path, row.body.c_str()));
    const test::HttpsReply reply = Call(row.who, row.method, row.path, row.body);
    EXPECT_EQ(reply.status, row.status) << reply.body;
    EXPECT_TRUE(Contains(reply.body, row.answer)) << reply.body;
  }
  EXPECT_EQ(Changes(), changesBefore);

  // A silent address keeps a run going for its time-outs: a second run is
  // refused meanwhile, and a cancel ends it.
  const test::HttpsReply silent = Call(admin, "POST", "discovery", R"({"ranges":"127.0.9.40"})");
  ASSERT_EQ(silent.status, 202) << silent.body;
  const std::string silentId = idOf(silent.body);
  const test::HttpsReply second = Call(admin, "POST", "discovery", R"({"ranges":"127.0.9.31"})");
  EXPECT_EQ(second.status, 409) << second.body;
  EXPECT_EQ(second.body, R"({"error":"Another discovery run is going; wait for it or cancel it.","field":null,"id":")" +
                             silentId + "\"}");
  EXPECT_EQ(Call(admin, "DELETE", "discovery/" + silentId, "").status, 200);
  const std::string cancelled = ended(silentId);
  EXPECT_TRUE(Contains(cancelled, R"("state":"cancelled")")) << cancelled;
  EXPECT_TRUE(Contains(cancelled, R"("rows":[]})")) << cancelled;

  // Both devices found, recognised, named after their own names.
  const test::HttpsReply started = Call(admin, "POST", "discovery", R"({"ranges":"127.0.9.31-127.0.9.32"})");
  ASSERT_EQ(started.status, 202) << started.body;
  const std::string id = idOf(started.body);
  EXPECT_EQ(started.body, "{\"id\":\"" + id + R"(","state":"running","total":2})");
  const std::string results = ended(id);
  EXPECT_TRUE(Contains(results, R"("state":"done","total":2,"asked":2,"answered":2,"recognised":2,)")) << results;
  EXPECT_TRUE(Contains(results, R"({"addresses":["127.0.9.31"],"type":"famib","model":")")) << results;
  EXPECT_TRUE(Contains(results, R"("worldWideName":"10:00:00:60:45:17:2a:01",)")) << results;
  EXPECT_TRUE(Contains(results, R"("sysName":"tc01","credential":"community from famib.cfg","note":null,)"
                                R"("managedAs":null,"suggestedName":"tc01"})")) << results;
  EXPECT_TRUE(Contains(results, R"("suggestedName":"tc02"})")) << results;

  const std::string adopt = "discovery/" + id + "/adopt";
  const Row bad[] = {
      {admin, "POST", adopt.c_str(), R"({"rows":[]})", 400,
       R"({"error":"Choose at least one device to adopt.","field":"rows"})"},
      {admin, "POST", adopt.c_str(), R"({"rows":["127.0.9.31"]})", 400,
       R"({"error":"This field must be an array of objects.","field":"rows"})"},
      {admin, "POST", adopt.c_str(), R"({"rows":[{"address":"127.0.9.31","name":"tc01","colour":"red"}]})", 400,
       R"({"error":"This field is not known here.","field":"rows[0].colour"})"},
      {admin, "POST", adopt.c_str(), R"({"rows":[{"address":"127.0.9.31"}]})", 400,
       R"({"error":"This field is required.","field":"rows[0].name"})"},
      {admin, "POST", adopt.c_str(), R"({"rows":[{"address":"127.0.9.31","name":"a"},{"address":"127.0.9.33","name":"b"}]})",
       400, R"({"error":"The discovery run found no device at this address.","field":"rows[1].address"})"},
      {admin, "POST", adopt.c_str(), R"({"rows":[{"address":"127.0.9.31","name":"tc01"},{"address":"127.0.9.32","name":"ninechars"}]})",
       400, R"({"error":"The tape controller name must be between 1 and 8 characters in length.","field":"rows[1].name"})"},
      {admin, "POST", adopt.c_str(), R"({"rows":[{"address":"127.0.9.31","name":"tc01"},{"address":"127.0.9.32","name":"tc01"}]})",
       400, R"({"error":"The name is also on line 1.","field":"rows[1].name"})"},
      {Who::kReader, "POST", adopt.c_str(), R"({"rows":[{"address":"127.0.9.31","name":"tc01"}]})", 403, "as administrator"},
  };
  const std::string elementsBefore = Elements();
  const std::string changesBeforeAdopt = Changes();
  for (const Row& row : bad) {
    SCOPED_TRACE(row.body);
    const test::HttpsReply reply = Call(row.who, row.method, row.path, row.body);
    EXPECT_EQ(reply.status, row.status) << reply.body;
    EXPECT_TRUE(Contains(reply.body, row.answer)) << reply.body;
    EXPECT_EQ(Elements(), elementsBefore);
    EXPECT_EQ(Changes(), changesBeforeAdopt);
  }

  // Both adopted, one renamed: one audit event with the count.
  const test::HttpsReply adopted = Call(
      admin, "POST", adopt,
      R"({"rows":[{"address":"127.0.9.31","name":"tc01"},{"address":"127.0.9.32","name":"bridge"}],"registerTrapTarget":true})");
  EXPECT_EQ(adopted.status, 200) << adopted.body;
  EXPECT_EQ(adopted.body, R"({"adopted":2,"names":["tc01","bridge"],"registerTrapTarget":true})");
  // Once bound, each device is set up to send its traps to the agent.
  const std::string target = ":" + std::to_string(trapPort_) + " filter 8 active";
  EXPECT_TRUE(test::WaitUntil([&] { return Contains(simulator_.Simctl("trapreg tc01 list"), target); },
                              std::chrono::seconds(60), std::chrono::milliseconds(500)))
      << simulator_.Simctl("trapreg tc01 list");
  EXPECT_EQ(Elements(), "tc01|127.0.9.31\nbridge|127.0.9.32\n");
  const std::string added = Changes().substr(changesBeforeAdopt.size());
  EXPECT_EQ(test::Lines(added).size(), 1u) << added;
  EXPECT_TRUE(Contains(added, "Change by administrator from 127.0.0.1: adopted 2 devices found by discovery run " + id +
                                  ".")) << added;
  // Adopting them again is refused: they are managed now.
  const test::HttpsReply again = Call(admin, "POST", adopt, R"({"rows":[{"address":"127.0.9.31","name":"x"}]})");
  EXPECT_EQ(again.status, 409) << again.body;
  EXPECT_EQ(again.body, R"({"error":"Already managed as tc01.","field":"rows[0].address"})");
}

// A device that answers only as an SNMPv3 user (no type file's community):
// found through the profile assigned to its address, recognised with its
// type, the profile named (never a pass phrase), and bound with it once
// adopted.
TEST_F(ApiCalls, ADeviceAnsweringOnlySnmpV3IsFoundAndAdoptedWithItsProfile) {
  const Who admin = Who::kAdministrator;
  const test::SnmpsimV3User& user = test::kSnmpsimV3Users[0];
  dir_.Write("v3users.txt", test::SnmpsimV3UsersFile());
  test::SimulatedDevices v3only(dir_.File("sim-v3"));
  const std::string started = v3only.Start(snmpPort_, "127.0.9.45", "tc01", dir_.File("v3users.txt"));
  ASSERT_TRUE(Contains(started, "tc01 127.0.9.45")) << started;
  ASSERT_TRUE(Contains(test::CommandOutput(StringPrintf("snmpget -v1 -c public -t 1 -r 0 127.0.9.45:%d "
                                                        "1.3.6.1.2.1.1.5.0 2>&1", snmpPort_)),
                       "Timeout"))
      << "the device answers the type files' community";
  const test::HttpsReply profile =
      Call(admin, "POST", "snmpv3/profiles",
           StringPrintf(R"({"name":"v3lab","user":"%s","level":"authNoPriv","auth":"MD5","authPassPhrase":"%s",)"
                        R"("context":"tc01"})", user.user, user.authPass));
  ASSERT_EQ(profile.status, 201) << profile.body;
  ASSERT_EQ(Call(admin, "PUT", "snmpv3/assignments/127.0.9.45", R"({"profile":"v3lab"})").status, 200);

  const test::HttpsReply run = Call(admin, "POST", "discovery", R"({"ranges":"127.0.9.45"})");
  ASSERT_EQ(run.status, 202) << run.body;
  const std::string id = run.body.substr(7, run.body.find('"', 7) - 7);  // {"id":"N",...
  std::string results;
  ASSERT_TRUE(test::WaitUntil([&] { return Contains(results = Call(admin, "GET", "discovery/" + id, "").body,
                                                    R"("state":"done")"); },
                              std::chrono::seconds(60), std::chrono::milliseconds(200)))
      << results;
  EXPECT_TRUE(Contains(results, R"({"addresses":["127.0.9.45"],"type":"famib",)")) << results;
  EXPECT_TRUE(Contains(results, R"("sysName":"tc01","credential":"v3lab","note":null,)")) << results;
  EXPECT_FALSE(Contains(results, user.authPass)) << results;

  const test::HttpsReply adopted = Call(admin, "POST", "discovery/" + id + "/adopt",
                                        R"({"rows":[{"address":"127.0.9.45","name":"v3tc"}]})");
  ASSERT_EQ(adopted.status, 200) << adopted.body;
  // Bound over SNMPv3: the device answers nothing else.
  std::string element;
  EXPECT_TRUE(test::WaitUntil([&] { return Contains(element = Call(Who::kReader, "GET", "elements/v3tc", "").body,
                                                    R"("status":0,"bound":true,)"); },
                              std::chrono::seconds(60), std::chrono::milliseconds(200)))
      << element;
}

TEST_F(ApiCalls, UserTokensCallWithTheirUsersRightsUntilTheyEnd) {
  const std::string deploy = Korusers("token add administrator --name deploy --expires 30");
  const std::string reading = Korusers("token add reader --name ro");
  const std::string expiring = Korusers("token add reader --name old --expires 1");
  ASSERT_TRUE(Contains(deploy, "kor_") && Contains(reading, "kor_") && Contains(expiring, "kor_"));
  // The expiring token's day is over.
  const std::string file = dir_.File("KORZEPD/user-tokens");
  std::string tokens = test::ReadFile(file);
  const size_t line = tokens.find(":reader:old:");
  ASSERT_NE(line, std::string::npos) << tokens;
  const size_t expires = tokens.find(':', line + 12) + 1;
  tokens.replace(expires, tokens.find(':', expires) - expires, "1000");
  dir_.Write("KORZEPD/user-tokens", tokens);
  const std::string metrics = Korusers("token");
  const std::string roId = reading.substr(4, 12);
  const char* const kLogIn = R"({"error":"You must log in.","field":null})";
  struct Row {
    std::string token;
    const char* method;
    std::string path;
    std::string body;
    int status;
    std::string answer;
    std::string change;  // the audit event's text; empty: none
  };
  const Row rows[] = {
      {deploy, "GET", "agent", "", 200, R"({"version":)", ""},
      {deploy, "POST", "elements", R"({"name":"tc1","address":"127.0.9.31"})", 201, R"("name":"tc1")",
       "Change by administrator (token deploy) from 127.0.0.1: added the device tc1 (127.0.9.31)."},
      {reading, "GET", "elements", "", 200, R"({"elements":[{"name":"tc1",)", ""},
      {reading, "DELETE", "elements/tc1", "", 403, "as administrator", ""},
      {reading, "GET", "tokens", "", 403, "as administrator", ""},
      {deploy, "GET", "tokens", "", 200, R"("user":"reader","name":"ro","created":")", ""},
      {deploy, "POST", "tokens", R"({"user":"reader","name":"ro"})", 409,
       R"({"error":"The user reader already has a token called ro.","field":"name"})", ""},
      {deploy, "POST", "tokens", R"({"user":"nobody","name":"x"})", 400,
       R"({"error":"There is no user nobody.","field":"user"})", ""},
      {deploy, "POST", "tokens", R"({"user":"reader","name":"x","expiresDays":1.5})", 400,
       R"("field":"expiresDays")", ""},
      {deploy, "POST", "tokens", R"({"user":"reader","name":"ci","expiresDays":7})", 201, R"(,"secret":"kor_)",
       "Change by administrator (token deploy) from 127.0.0.1: made the token ci of reader."},
      {deploy, "DELETE", "tokens/" + roId, "", 200, R"({"revoked":{"id":")" + roId + R"(","user":"reader","name":"ro",)",
       "Change by administrator (token deploy) from 127.0.0.1: revoked the token ro of reader."},
      {deploy, "DELETE", "tokens/" + roId, "", 404, "There is no token " + roId + ".", ""},
      {reading, "GET", "elements", "", 401, kLogIn, ""},                         // revoked
      {expiring, "GET", "elements", "", 401, kLogIn, ""},                        // expired
      {"kor_000000000000_" + std::string(64, '0'), "GET", "agent", "", 401, kLogIn, ""},  // never made
      {metrics, "GET", "agent", "", 401, kLogIn, ""},                            // metrics only
      {metrics, "POST", "elements", R"({"name":"tc3","address":"127.0.9.32"})", 401, kLogIn, ""},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(StringPrintf("%.20s %s %s %s", row.token.c_str(), row.method, row.path.c_str(), row.body.c_str()));
    const std::string changesBefore = Changes();
    const test::HttpsReply reply = TokenCall(row.token, row.method, row.path, row.body);
    EXPECT_EQ(reply.status, row.status) << reply.body;
    EXPECT_TRUE(Contains(reply.body, row.answer)) << reply.body;
    EXPECT_FALSE(Contains(reply.body, reading.substr(17))) << reply.body;  // no secret is ever listed
    const std::string added = Changes().substr(changesBefore.size());
    if (row.change.empty()) {
      EXPECT_EQ(added, "");
    } else {
      EXPECT_TRUE(Contains(added, row.change)) << added;
    }
  }
  // The metrics token still reads the metrics; the three refused tokens
  // were counted with the failed logins, and logged (one line a minute
  // from one address).
  const test::HttpsReply scrape = https_.Request("/KOR/metrics", "-H 'Authorization: Bearer " + metrics + "'");
  EXPECT_EQ(scrape.status, 200);
  EXPECT_TRUE(Contains(scrape.body, "koragent_login_failures_total 3\n")) << scrape.body;
  EXPECT_TRUE(test::WaitUntil([&] {
    return Contains(test::ReadFile(dir_.File("events.log")),
                    "A web server request from 127.0.0.1 came with an unknown or revoked user token.");
  })) << test::ReadFile(dir_.File("events.log"));
  // Lowering the user lowers the token; removing the user ends it.
  const std::string ci = Korusers("token add reader --name ci2");
  EXPECT_EQ(TokenCall(ci, "GET", "agent").status, 200);
  Korusers("rights reader KORAccess=0");
  EXPECT_EQ(TokenCall(ci, "GET", "agent").status, 403);
  Korusers("remove reader");
  EXPECT_EQ(TokenCall(ci, "GET", "agent").status, 401);
  EXPECT_FALSE(Contains(Korusers("token list"), "reader"));
}

// The simulated tc02 is degraded: its alarm, taken and given back by each
// caller as the operator right (4) and the administrator right allow.
TEST_F(ApiCalls, AlarmsAreTakenAsTheCallersRightAllows) {
  const Who admin = Who::kAdministrator, reader = Who::kReader, none = Who::kNoRight, anyone = Who::kAnonymous,
            oper = Who::kOperator;
  ASSERT_EQ(Call(admin, "POST", "elements", R"({"name":"tc2","address":"127.0.9.32"})").status, 201);
  // The root page has the agent poll every element now.
  https_.Request("/KOR/", "-b '" + jar(admin) + "'");
  ASSERT_TRUE(test::WaitUntil([&] { return Contains(Call(reader, "GET", "alarms", "").body, "tc2:status"); },
                              std::chrono::seconds(30)))
      << Call(reader, "GET", "alarms", "").body;
  const char* const kLogIn = R"({"error":"You must log in.","field":null})";
  const char* const kNotOperator =
      "You must log in (or log in again) as operator or administrator to perform this operation.";
  const std::string take = R"({"note":"on it"})";
  struct Row {
    Who who;
    const char* method;
    const char* path;
    std::string body;
    int status;
    std::string answer;
    std::string change;  // the audit event's text; empty: nothing changes
  };
  const Row rows[] = {
      {anyone, "GET", "alarms", "", 401, kLogIn, ""},
      {none, "GET", "alarms", "", 403, "KORAccess is 0", ""},
      {reader, "GET", "alarms", "", 200,
       R"("alarms":[{"id":"tc2:status","element":"tc2","address":"127.0.9.32","kind":"status","part":"",)"
       R"("severity":"warning",)",
       ""},
      {anyone, "PATCH", "alarms/tc2:status", take, 401, kLogIn, ""},
      {none, "PATCH", "alarms/tc2:status", take, 403, "KORAccess is 0", ""},
      {reader, "PATCH", "alarms/tc2:status", take, 403, kNotOperator, ""},
      {admin, "PATCH", "alarms/tc2:status", take, 200, R"("state":"acknowledged","acknowledgement":{"by":"administrator",)",
       "Change by administrator from 127.0.0.1: acknowledged the alarm tc2:status (on it)."},
      {oper, "PATCH", "alarms/tc2:status", R"({"acknowledged":false})", 200,
       R"("state":"raised","acknowledgement":null)",
       "Change by oper from 127.0.0.1: withdrew the acknowledgement of the alarm tc2:status."},
      {oper, "PATCH", "alarms/tc2:status", R"({"acknowledged":false})", 409, "The alarm is not acknowledged.", ""},
      {oper, "PATCH", "alarms/tc2:status", R"({"note":"mine","expiresMinutes":60})", 200, R"("by":"oper",)",
       "Change by oper from 127.0.0.1: acknowledged the alarm tc2:status (mine)."},
      {reader, "GET", "alarms/tc2:status", "", 200, R"("note":"mine","expires":)", ""},
      {reader, "GET", "alarms/tc9:status", "", 404, R"({"error":"There is no alarm with that id.","field":null})", ""},
      {oper, "PATCH", "alarms/tc9:status", take, 404, "There is no alarm with that id.", ""},
      {oper, "PATCH", "alarms/tc2:status", R"({"note":7})", 400,
       R"({"error":"This field must be a string.","field":"note"})", ""},
      {oper, "PATCH", "alarms/tc2:status", R"({"expiresMinutes":0})", 400, R"("field":"expiresMinutes"})", ""},
      {oper, "PATCH", "alarms/tc2:status", R"({"acknowledged":"no"})", 400,
       R"({"error":"This field must be true or false.","field":"acknowledged"})", ""},
      {oper, "PATCH", "alarms/tc2:status", R"({"colour":"red"})", 400, R"("field":"colour"})", ""},
      {oper, "DELETE", "alarms/tc2:status", "", 405, "This method is not served here.", ""},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(StringPrintf("%d %s %s %s", static_cast<int>(row.who), row.method, row.path, row.body.c_str()));
    const std::string changesBefore = Changes();
    const std::string keptBefore = test::ReadFile(dir_.File("KOR/alarms.ack"));
    const test::HttpsReply reply = Call(row.who, row.method, row.path, row.body);
    EXPECT_EQ(reply.status, row.status) << reply.body;
    EXPECT_TRUE(Contains(reply.body, row.answer)) << reply.body;
    const std::string added = Changes().substr(changesBefore.size());
    if (row.change.empty()) {
      EXPECT_EQ(added, "");
      EXPECT_EQ(test::ReadFile(dir_.File("KOR/alarms.ack")), keptBefore);
    } else {
      EXPECT_EQ(test::Lines(added).size(), 1u) << added;
      EXPECT_TRUE(Contains(added, row.change)) << added;
    }
  }
  // The acknowledgement is kept, owner-only, in the agent directory.
  struct stat info {};
  ASSERT_EQ(::stat(dir_.File("KOR/alarms.ack").c_str(), &info), 0);
  EXPECT_EQ(info.st_mode & 0777, 0600u);
  EXPECT_TRUE(Contains(test::ReadFile(dir_.File("KOR/alarms.ack")), "tc2:status\t1\toper\t"));
}

// Maintenance windows set and ended as the operator right (4) and the
// administrator right allow, the refusals naming their field; while tc2 is
// in maintenance its alarm says so; a token's change names the token.
TEST_F(ApiCalls, MaintenanceWindowsAreSetAsTheCallersRightAllows) {
  const Who admin = Who::kAdministrator, reader = Who::kReader, anyone = Who::kAnonymous, oper = Who::kOperator;
  ASSERT_EQ(Call(admin, "POST", "elements", R"({"name":"tc2","address":"127.0.9.32"})").status, 201);
  https_.Request("/KOR/", "-b '" + jar(admin) + "'");
  ASSERT_TRUE(test::WaitUntil([&] { return Contains(Call(reader, "GET", "alarms", "").body, "tc2:status"); },
                              std::chrono::seconds(30)))
      << Call(reader, "GET", "alarms", "").body;
  const std::string set = R"({"elements":["tc2"],"minutes":30,"reason":"drive swap"})";
  const char* const kNotOperator =
      "You must log in (or log in again) as operator or administrator to perform this operation.";
  struct Row {
    Who who;
    const char* method;
    const char* path;
    std::string body;
    int status;
    std::string answer;
    std::string change;  // the audit event's text; empty: nothing changes
  };
  const Row rows[] = {
      {anyone, "GET", "maintenance", "", 401, "You must log in.", ""},
      {reader, "GET", "maintenance", "", 200, R"("windows":[]})", ""},
      {reader, "POST", "maintenance", set, 403, kNotOperator, ""},
      {oper, "POST", "maintenance", R"({"elements":["tc9"],"minutes":30,"reason":"x"})", 400,
       R"({"error":"The tape controller specified does not exist.","field":"elements"})", ""},
      {oper, "POST", "maintenance", R"({"elements":["tc2"],"minutes":30})", 400,
       R"({"error":"This field is required.","field":"reason"})", ""},
      {oper, "POST", "maintenance", R"({"elements":["tc2"],"minutes":30,"reason":""})", 400, R"("field":"reason"})", ""},
      {oper, "POST", "maintenance", R"({"elements":["tc2"],"end":"tomorrow","reason":"x"})", 400,
       R"({"error":"This field must be a UTC time such as 2026-12-09T10:00:00Z.","field":"end"})", ""},
      {oper, "POST", "maintenance", R"({"elements":["tc2"],"end":"2001-01-01T00:00:00Z","reason":"x"})", 400,
       R"("field":"end"})", ""},
      {oper, "POST", "maintenance", R"({"elements":["tc2"],"minutes":44641,"reason":"x"})", 400,
       R"("field":"minutes"})", ""},
      {oper, "POST", "maintenance", R"({"elements":["tc2"],"minutes":30,"reason":"x","colour":"red"})", 400,
       R"({"error":"This field is not known here.","field":"colour"})", ""},
      {oper, "POST", "maintenance", set, 201, R"({"windows":[{"element":"tc2","start":)",
       "Change by oper from 127.0.0.1: set a maintenance window for tc2 from "},
      {reader, "GET", "maintenance", "", 200, R"("reason":"drive swap","by":"oper"}]})", ""},
      {reader, "GET", "alarms/tc2:status", "", 200, R"("state":"maintenance")", ""},
      {reader, "DELETE", "maintenance/tc2", "", 403, kNotOperator, ""},
      {admin, "DELETE", "maintenance/tc2", "", 200, R"({"element":"tc2",)",
       "Change by administrator from 127.0.0.1: ended the maintenance window of tc2."},
      {admin, "DELETE", "maintenance/tc2", "", 404,
       R"({"error":"The element has no maintenance window.","field":null})", ""},
      {reader, "GET", "alarms/tc2:status", "", 200, R"("state":"raised")", ""},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(StringPrintf("%d %s %s %s", static_cast<int>(row.who), row.method, row.path, row.body.c_str()));
    const std::string changesBefore = Changes();
    const test::HttpsReply reply = Call(row.who, row.method, row.path, row.body);
    EXPECT_EQ(reply.status, row.status) << reply.body;
    EXPECT_TRUE(Contains(reply.body, row.answer)) << reply.body;
    const std::string added = Changes().substr(changesBefore.size());
    if (row.change.empty()) {
      EXPECT_EQ(added, "");
    } else {
      EXPECT_EQ(test::Lines(added).size(), 1u) << added;
      EXPECT_TRUE(Contains(added, row.change)) << added;
    }
  }
  // A token stands for its user, and the audit event names it.
  const std::string ops = Korusers("token add oper --name ops");
  const std::string changesBefore = Changes();
  EXPECT_EQ(TokenCall(ops, "POST", "maintenance", set).status, 201);
  EXPECT_TRUE(Contains(Changes().substr(changesBefore.size()), "Change by oper (token ops) from 127.0.0.1: set a "
                                                                  "maintenance window for tc2"))
      << Changes();
  struct stat info {};
  ASSERT_EQ(::stat(dir_.File("KOR/maintenance").c_str(), &info), 0);
  EXPECT_EQ(info.st_mode & 0777, 0600u);
}

TEST_F(ApiCalls, UsersAreManagedByAdministratorsWithTheToolsRules) {
  const Who admin = Who::kAdministrator, ops = Who::kOperator, reader = Who::kReader, anyone = Who::kAnonymous;
  const char* const kLogIn = R"({"error":"You must log in.","field":null})";
  const char* const kNotAdmin = "You must log in (or log in again) as administrator to perform this operation.";
  const char* const kLast = R"({"error":"Administrator is the last administrator: make another user administrator )"
                            R"(first.","field":"level"})";
  const std::string add = R"({"name":"ops2","password":"a-long-password","level":"operator"})";
  struct Row {
    Who who;
    const char* method;
    const char* path;
    std::string body;
    int status;
    std::string answer;  // what the body holds
    std::string change;  // the audit event's text; empty: the call changes nothing
  };
  const Row rows[] = {
      {anyone, "GET", "users", "", 401, kLogIn, ""},
      {reader, "GET", "users", "", 403, kNotAdmin, ""},
      {ops, "GET", "users", "", 403, kNotAdmin, ""},
      {admin, "GET", "users", "", 200,
       R"({"users":[{"name":"administrator","level":"administrator"},{"name":"reader","level":"reader"},)"
       R"({"name":"none","level":"none"},{"name":"oper","level":"operator"}]})",
       ""},
      {ops, "POST", "users", add, 403, kNotAdmin, ""},
      {admin, "POST", "users", add, 201, R"({"name":"ops2","level":"operator"})",
       "Change by administrator from 127.0.0.1: added the user ops2 (operator)."},
      {admin, "POST", "users", add, 409, R"({"error":"The user ops2 exists already.","field":"name"})", ""},
      {admin, "POST", "users", R"({"name":"x y","password":"a-long-password","level":"reader"})", 400,
       R"({"error":"\"x y\" is not a valid user name (A-Z a-z 0-9 . _ -).","field":"name"})", ""},
      {admin, "POST", "users", R"({"name":"new","password":"short","level":"reader"})", 400,
       R"({"error":"A password needs at least 8 characters.","field":"password"})", ""},
      {admin, "POST", "users", R"({"name":"new","password":"a-long-password","level":"root"})", 400,
       R"({"error":"The level is not one of administrator, operator, reader or none.","field":"level"})", ""},
      {admin, "POST", "users", R"({"name":"new","password":"a-long-password"})", 400,
       R"({"error":"This field is required.","field":"level"})", ""},
      {reader, "PATCH", "users/reader", R"({"level":"operator"})", 403, kNotAdmin, ""},
      {admin, "PATCH", "users/reader", R"({"level":"operator"})", 200, R"({"name":"reader","level":"operator"})",
       "Change by administrator from 127.0.0.1: set the level of reader to operator."},
      {admin, "PATCH", "users/administrator", R"({"level":"reader"})", 409, kLast, ""},
      {admin, "PATCH", "users/nobody", R"({"level":"reader"})", 404,
       R"({"error":"There is no user nobody.","field":"name"})", ""},
      {admin, "PATCH", "users/reader", R"({"level":"reader","password":"short"})", 400,
       R"({"error":"A password needs at least 8 characters.","field":"password"})", ""},
      {admin, "PATCH", "users/reader", "{}", 400, R"({"error":"Name a level or a password to change.","field":null})",
       ""},
      {anyone, "DELETE", "users/reader/sessions", "", 401, kLogIn, ""},
      {admin, "DELETE", "users/reader/sessions", "", 200, R"({"name":"reader","ended":1})",
       "Change by administrator from 127.0.0.1: ended 1 session of reader."},
      {reader, "GET", "elements", "", 401, kLogIn, ""},  // signed out
      {admin, "DELETE", "users/administrator", "", 409, kLast, ""},
      {ops, "DELETE", "users/ops2", "", 403, kNotAdmin, ""},
      {admin, "DELETE", "users/ops2", "", 200, R"({"removed":"ops2"})",
       "Change by administrator from 127.0.0.1: removed the user ops2."},
      {admin, "DELETE", "users/ops2", "", 404, R"({"error":"There is no user ops2.","field":"name"})", ""},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(StringPrintf("%d %s %s %s", static_cast<int>(row.who), row.method, row.path, row.body.c_str()));
    const std::string usersBefore = Users();
    const std::string changesBefore = Changes();
    const test::HttpsReply reply = Call(row.who, row.method, row.path, row.body);
    EXPECT_EQ(reply.status, row.status) << reply.body;
    EXPECT_TRUE(Contains(reply.body, row.answer)) << reply.body;
    EXPECT_FALSE(Contains(reply.body, "$y$")) << reply.body;
    const std::string added = Changes().substr(changesBefore.size());
    if (row.change.empty()) {
      EXPECT_EQ(added, "");
      if (row.status != 200) {
        EXPECT_EQ(Users(), usersBefore);
      }
    } else {
      EXPECT_EQ(test::Lines(added).size(), 1u) << added;
      EXPECT_TRUE(Contains(added, row.change)) << added;
    }
  }
}

// The events, the agent's configuration, its notification targets and its
// SNMPv3 credentials: each operation as the administrator and a reader, the
// audit events of the changes as their pages word them, the file each
// changes, and never a community or pass phrase in an answer or event.
class ApiConfigurationCalls : public ApiCalls {
 protected:
  // The files these resources change, and the change file.
  std::vector<std::string> Files() {
    std::vector<std::string> files;
    for (const char* name : {"client.ini", "storage.ini", "targets.ini", "snmpv3.conf", "changes.jsonl"}) {
      files.push_back(test::ReadFile(dir_.File(std::string("KOR/") + name)));
    }
    return files;
  }
  static constexpr const char* kSecrets[] = {"s3cret-community", "auth-secret-1", "priv-secret-1"};
  const std::string profile_ =
      R"({"name":"lab","user":"kor","level":"authPriv","auth":"SHA-256","authPassPhrase":"auth-secret-1",)"
      R"("priv":"AES","privPassPhrase":"priv-secret-1"})";
};

TEST_F(ApiConfigurationCalls, EachOperationAnswersAsItsPageAndRecordsItsChange) {
  const Who admin = Who::kAdministrator, reader = Who::kReader;
  const char* const kNotAdmin = "You must log in (or log in again) as administrator to perform this operation.";
  const std::string v2c = R"({"target":"127.0.0.1:1162","kind":"v2c-trap","credential":"s3cret-community"})";
  const std::string inform = R"({"target":"127.0.0.1:1162","kind":"v2c-inform","credential":"s3cret-community"})";
  const std::string config = R"({"pollingInterval":600,"trapHosts":["127.0.0.1"]})";
  const std::string assign = R"({"profile":"lab"})";
  enum File { kNone = -1, kClient, kStorage, kTargets, kSnmpV3 };
  struct Row {
    Who who;
    const char* method;
    std::string path;
    std::string body;
    int status;
    std::string answer;
    std::vector<std::string> changes;  // the audit events' texts, in order
    std::vector<int> files = {};       // the files that change
  };
  const std::string by = "Change by administrator from 127.0.0.1: ";
  const Row rows[] = {
      {Who::kNoRight, "GET", "events", "", 403, "KORAccess is 0", {}},
      {reader, "GET", "events?severity=warning&limit=1", "", 200, R"("complete":true,"offset":0,"limit":1,"events":[)", {}},
      {reader, "GET", "config", "", 200, R"({"pollingInterval":300,"trapHosts":[]})", {}},
      {reader, "PATCH", "config", config, 403, kNotAdmin, {}},
      {admin, "PATCH", "config", config, 200, R"({"pollingInterval":600,"trapHosts":["127.0.0.1"]})",
       {by + "changed the polling interval from 5 to 10 minutes.", by + "added the trap destination 127.0.0.1."},
       {kClient, kStorage}},
      {admin, "PATCH", "config", R"({"trapHosts":[]})", 200, R"({"pollingInterval":600,"trapHosts":[]})",
       {by + "removed the trap destination 127.0.0.1."}, {kClient}},
      {reader, "GET", "targets", "", 403, kNotAdmin, {}},
      {reader, "POST", "targets", v2c, 403, kNotAdmin, {}},
      {admin, "POST", "targets", v2c, 201,
       R"({"name":"127.0.0.1:1162","host":"127.0.0.1","port":1162,"kind":"v2c-trap","profile":null})",
       {by + "set the notification target 127.0.0.1:1162 (v2c-trap)."}, {kTargets}},
      {admin, "POST", "targets", inform, 200, R"("kind":"v2c-inform")",
       {by + "set the notification target 127.0.0.1:1162 (v2c-inform)."}, {kTargets}},
      {admin, "GET", "targets", "", 200, R"("v3Only":false,"targets":[{"name":"127.0.0.1:1162",)", {}},
      {reader, "DELETE", "targets/127.0.0.1:1162", "", 403, kNotAdmin, {}},
      {admin, "DELETE", "targets/127.0.0.1:1162", "", 200, R"({"removed":"127.0.0.1:1162"})",
       {by + "removed the notification target 127.0.0.1:1162."}, {kTargets}},
      {admin, "DELETE", "targets/127.0.0.1:1162", "", 404, "127.0.0.1:1162 is not a notification target.", {}},
      {reader, "GET", "snmpv3", "", 200, R"({"v3Only":false,"withoutProfile":0,"withoutProfileNames":[]})", {}},
      {reader, "PATCH", "snmpv3", R"({"v3Only":true})", 403, kNotAdmin, {}},
      {admin, "PATCH", "snmpv3", R"({"v3Only":true})", 200, R"({"v3Only":true,)", {by + "SNMPv3-only polling on."},
       {kSnmpV3}},
      {admin, "PATCH", "snmpv3", R"({"v3Only":false})", 200, R"({"v3Only":false,)", {by + "SNMPv3-only polling off."},
       {kSnmpV3}},
      {reader, "GET", "snmpv3/profiles", "", 403, kNotAdmin, {}},
      {reader, "POST", "snmpv3/profiles", profile_, 403, kNotAdmin, {}},
      {admin, "POST", "snmpv3/profiles", profile_, 201,
       R"({"name":"lab","user":"kor","level":"authPriv","auth":"SHA-256","priv":"AES","context":"","assignedTo":[]})",
       {by + "SNMPv3 profile lab added (user kor, authPriv, SHA-256/AES)."}, {kSnmpV3}},
      {admin, "POST", "snmpv3/profiles", profile_, 409, R"({"error":"profile lab exists","field":"name"})", {}},
      {reader, "GET", "snmpv3/assignments", "", 403, kNotAdmin, {}},
      {reader, "PUT", "snmpv3/assignments/10.1.0.0/16", assign, 403, kNotAdmin, {}},
      {admin, "PUT", "snmpv3/assignments/10.1.0.0/16", assign, 200, R"({"target":"10.1.0.0/16","profile":"lab"})",
       {by + "SNMPv3 profile lab assigned to 10.1.0.0/16."}, {kSnmpV3}},
      {admin, "GET", "snmpv3/assignments", "", 200, R"({"assignments":[{"target":"10.1.0.0/16","profile":"lab"}]})",
       {}},
      {admin, "GET", "snmpv3/profiles", "", 200, R"("context":"","assignedTo":["10.1.0.0/16"]}]})", {}},
      {admin, "DELETE", "snmpv3/profiles/lab", "", 409,
       R"x({"error":"profile lab is assigned to 10.1.0.0/16 (unassign it first)","field":null})x", {}},
      {reader, "DELETE", "snmpv3/assignments/10.1.0.0%2F16", "", 403, kNotAdmin, {}},
      {admin, "DELETE", "snmpv3/assignments/10.1.0.0%2F16", "", 200, R"({"removed":"10.1.0.0/16"})",
       {by + "SNMPv3 assignment of 10.1.0.0/16 removed."}, {kSnmpV3}},
      {admin, "DELETE", "snmpv3/assignments/10.1.0.0/16", "", 404, "nothing is assigned to 10.1.0.0/16", {}},
      {reader, "DELETE", "snmpv3/profiles/lab", "", 403, kNotAdmin, {}},
      {admin, "DELETE", "snmpv3/profiles/lab", "", 200, R"({"removed":"lab"})",
       {by + "SNMPv3 profile lab removed."}, {kSnmpV3}},
      {admin, "DELETE", "snmpv3/profiles/lab", "", 404, R"({"error":"no profile lab","field":null})", {}},
      {reader, "GET", "events?kind=change&limit=500", "", 200, "SNMPv3 profile lab removed.", {}},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(StringPrintf("%d %s %s %s", static_cast<int>(row.who), row.method, row.path.c_str(),
                              row.body.c_str()));
    const std::vector<std::string> before = Files();
    const test::HttpsReply reply = Call(row.who, row.method, row.path, row.body);
    EXPECT_EQ(reply.status, row.status) << reply.body;
    EXPECT_TRUE(Contains(reply.body, row.answer)) << reply.body;
    for (const char* secret : kSecrets) EXPECT_FALSE(Contains(reply.body, secret)) << reply.body;
    const std::vector<std::string> after = Files();
    const std::vector<std::string> added = test::Lines(after.back().substr(before.back().size()));
    ASSERT_EQ(added.size(), row.changes.size()) << after.back();
    for (size_t i = 0; i < added.size(); ++i) EXPECT_TRUE(Contains(added[i], row.changes[i])) << added[i];
    for (int file = kClient; file <= kSnmpV3; ++file) {
      const bool changes = std::find(row.files.begin(), row.files.end(), file) != row.files.end();
      EXPECT_EQ(after[static_cast<size_t>(file)] != before[static_cast<size_t>(file)], changes) << file;
    }
  }
  // The operator's comment lines stay; no secret was recorded.
  EXPECT_EQ(test::ReadFile(dir_.File("KOR/client.ini")), "# Hosts that receive this agent's traps\n\n");
  EXPECT_EQ(test::ReadFile(dir_.File("KOR/storage.ini")), "600\n");
  for (const char* secret : kSecrets) EXPECT_FALSE(Contains(Changes(), secret));
}

TEST_F(ApiConfigurationCalls, BadInputIsRefusedWithThePagesTextsAndChangesNoFile) {
  ASSERT_EQ(Call(Who::kAdministrator, "POST", "snmpv3/profiles", profile_).status, 201);
  const std::vector<std::string> before = Files();
  std::string hosts33;
  for (int i = 0; i < 33; ++i) hosts33 += std::string(i == 0 ? "" : ",") + "\"h\"";
  struct Row {
    const char* method;
    const char* path;
    std::string body;
    std::string error;
    const char* field;  // null: "field":null
    int status = 400;
  };
  const Row rows[] = {
      {"PATCH", "config", R"({"pollingInterval":30})", "The polling interval must be between 1 and 60 minutes.",
       "pollingInterval"},
      {"PATCH", "config", R"({"pollingInterval":3660})", "The polling interval must be between 1 and 60 minutes.",
       "pollingInterval"},
      {"PATCH", "config", R"({"pollingInterval":90})", "The polling interval must be a whole number of minutes.",
       "pollingInterval"},
      {"PATCH", "config", R"({"pollingInterval":"600"})", "This field must be a whole number.", "pollingInterval"},
      {"PATCH", "config", R"({"pollingInterval":6e2})", "This field must be a whole number.", "pollingInterval"},
      {"PATCH", "config", R"({"pollingInterval":600,"trapHosts":["127.0.0.1","bad host"]})", "Bad name entered.",
       "trapHosts"},
      {"PATCH", "config", R"({"trapHosts":["127.0.0.1","localhost"]})",
       "The specified host is already in the list of clients.  Please enter a unique host.", "trapHosts"},
      {"PATCH", "config", R"({"trapHosts":["127.0.9.256"]})", "Unable to verify client address.", "trapHosts"},
      {"PATCH", "config", R"({"trapHosts":"127.0.0.1"})", "This field must be an array of strings.", "trapHosts"},
      {"PATCH", "config", R"({"trapHosts":[1]})", "This field must be an array of strings.", "trapHosts"},
      {"PATCH", "config", "{\"trapHosts\":[" + hosts33 + "]}", "This field holds more than 32 items.", "trapHosts"},
      {"PATCH", "config", R"({"interval":600})", "This field is not known here.", "interval"},
      {"POST", "targets", R"({"target":"127.0.0.1","kind":"v2c-trap","credential":"x"})",
       "The target was not added: \\\"127.0.0.1\\\" is not HOST:PORT.", "target"},
      {"POST", "targets", R"({"target":"127.0.0.1:162","kind":"v9-trap","credential":"x"})",
       "Unexpected data returned by web browser", "kind"},
      {"POST", "targets", R"({"target":"127.0.0.1:162","kind":"v2c-trap","credential":"a b"})",
       "The target was not added: the community is empty or has blanks.", "credential"},
      {"POST", "targets", R"({"target":"127.0.0.1:162","kind":"v3-trap","credential":"nolab"})",
       "The target was not added: there is no SNMPv3 profile \\\"nolab\\\".", "credential"},
      {"POST", "targets", R"({"target":"127.0.0.1:162","kind":"v2c-trap"})", "This field is required.", "credential"},
      {"PATCH", "snmpv3", R"({"v3Only":"on"})", "This field must be true or false.", "v3Only"},
      {"PATCH", "snmpv3", "{}", "This field is required.", "v3Only"},
      {"POST", "snmpv3/profiles", R"({"name":"lab2","user":"kor","level":"authNoPriv","auth":"SHA","authPassPhrase":"short"})",
       "the authentication pass phrase has fewer than 8 characters", "authPassPhrase"},
      {"POST", "snmpv3/profiles", R"({"name":"lab2","level":"superPriv"})",
       "--level is noAuthNoPriv, authNoPriv or authPriv", "level"},
      {"POST", "snmpv3/profiles", R"({"name":"bad name","user":"kor","level":"noAuthNoPriv"})",
       "a profile name is 1 to 32 letters, digits, '.', '_' or '-'", "name"},
      {"POST", "snmpv3/profiles", R"({"name":"lab2","user":"kor","level":"noAuthNoPriv","authPassPhrase":7})",
       "This field must be a string.", "authPassPhrase"},
      {"PUT", "snmpv3/assignments/10.1.2.3/16", R"({"profile":"lab"})",
       "'10.1.2.3/16' has host bits set (the range starts at 10.1.0.0)", "target"},
      {"PUT", "snmpv3/assignments/default", R"({"profile":"nolab"})", "no profile nolab", "profile"},
      {"DELETE", "snmpv3/assignments/banana", "", "'banana' is not default, an IPv4 address or ADDRESS/BITS",
       "target"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(StringPrintf("%s %s %.80s", row.method, row.path, row.body.c_str()));
    const test::HttpsReply reply = Call(Who::kAdministrator, row.method, row.path, row.body);
    EXPECT_EQ(reply.status, row.status) << reply.body;
    const std::string field = row.field != nullptr ? StringPrintf("\"%s\"", row.field) : std::string("null");
    EXPECT_EQ(reply.body, "{\"error\":\"" + row.error + "\",\"field\":" + field + "}");
    EXPECT_EQ(Files(), before);
  }
}

}  // namespace
}  // namespace orla
