#include "page_table.h"

#include <strings.h>

#include <cstring>
#include <iterator>

#include "platform/text/ascii_case.h"
#include "about_page.h"
#include "engine_json_page.h"
#include "notification_targets_page.h"
#include "password_page.h"
#include "add_element_page.h"
#include "agent_config_page.h"
#include "alarms_page.h"
#include "api_router.h"
#include "discovery_document_page.h"
#include "discovery_page.h"
#include "element_list_page.h"
#include "events_csv_page.h"
#include "events_json_page.h"
#include "events_page.h"
#include "history_page.h"
#include "import_page.h"
#include "metrics_page.h"
#include "remove_element_page.h"
#include "rename_element_page.h"
#include "snmp_v3_json_page.h"
#include "snmp_v3_profiles_page.h"
#include "status_json_page.h"
#include "trap_target_page.h"
#include "users_page.h"
#include "web_agent_page.h"

namespace orla {

namespace {

using Match = PageTable::Match;
using Answer = PageTable::Answer;
using Access = PageTable::Access;

// One line per row, in the order they are tried. Rows whose factory is null
// are page URLs whose page is not part of this build: they are served as
// files until their page class is added here. The last column is the one
// list of pages open to anonymous visitors: the discovery document (read by
// management consoles), the About page, and the metrics (which answer 401
// themselves to a request with neither credentials nor a session).
const PageTable::Route kRows[] = {
    {"/KOR/", Match::kWholeAnyCase, Answer::kRootPage, nullptr},
    {"/KOR", Match::kWholeAnyCase, Answer::kRootPage, nullptr},
    {"/KOR/default.htm", Match::kWholeAnyCase, Answer::kRootPage, nullptr},
    {"/KOR/WebAgent/", Match::kPrefix, Answer::kSelfOwnedPage, &PageTable::Make<WebAgentPage>},
    {"/KOR/delete_element.html", Match::kPrefix, Answer::kPage, &PageTable::Make<RemoveElementPage>},
    {"/KOR/elements.html", Match::kPrefix, Answer::kPage, &PageTable::Make<ElementListPage>},
    {"/KOR/add_element.html", Match::kWholeAnyCase, Answer::kPage, &PageTable::Make<AddElementPage>},
    {"/KOR/rename_element.html", Match::kPrefix, Answer::kPage, &PageTable::Make<RenameElementPage>},
    {"/KOR/set_trap_target.html", Match::kPrefix, Answer::kPage, &PageTable::Make<TrapTargetPage>},
    {"/KOR/kor.xml", Match::kWholeExact, Answer::kPage, &PageTable::Make<DiscoveryDocumentPage>,
     Access::kAnyone},
    {"/KOR/about.htm", Match::kPrefix, Answer::kPage, &PageTable::Make<AboutPage>, Access::kAnyone},
    {"/KOR/agent_config.htm", Match::kPrefix, Answer::kPage, &PageTable::Make<AgentConfigPage>},
    // The live console's pages and answers.
    {"/KOR/status.json", Match::kWholeExact, Answer::kPage, &PageTable::Make<StatusJsonPage>},
    {"/KOR/events.json", Match::kWholeExact, Answer::kPage, &PageTable::Make<EventsJsonPage>},
    {"/KOR/events.csv", Match::kWholeExact, Answer::kPage, &PageTable::Make<EventsCsvPage>},
    {"/KOR/events.html", Match::kWholeAnyCase, Answer::kPage, &PageTable::Make<EventsPage>},
    {"/KOR/alarms.html", Match::kWholeAnyCase, Answer::kPage, &PageTable::Make<AlarmsPage>},
    {"/KOR/history.html", Match::kWholeAnyCase, Answer::kPage, &PageTable::Make<HistoryPage>},
    {"/KOR/import.html", Match::kWholeAnyCase, Answer::kPage, &PageTable::Make<ImportPage>},
    {"/KOR/discovery.html", Match::kWholeAnyCase, Answer::kPage, &PageTable::Make<DiscoveryPage>},
    // The SNMP engine (for the About page's script) and the notification
    // targets (administrators only: the page checks).
    {"/KOR/engine.json", Match::kWholeExact, Answer::kPage, &PageTable::Make<EngineJsonPage>},
    {"/KOR/notification_targets.html", Match::kWholeAnyCase, Answer::kPage,
     &PageTable::Make<NotificationTargetsPage>},
    // The SNMPv3 profiles and assignments (administrators only: the page
    // checks) and the v3-only switch for the pages' scripts.
    {"/KOR/snmpv3_profiles.html", Match::kWholeAnyCase, Answer::kPage, &PageTable::Make<SnmpV3ProfilesPage>},
    {"/KOR/snmpv3.json", Match::kWholeExact, Answer::kPage, &PageTable::Make<SnmpV3JsonPage>},
    // The web server's users (administrators only: the page checks), and
    // every signed-in user's own password.
    {"/KOR/users.html", Match::kWholeAnyCase, Answer::kPage, &PageTable::Make<UsersPage>},
    {"/KOR/password.html", Match::kWholeAnyCase, Answer::kPage, &PageTable::Make<PasswordPage>,
     Access::kSignedIn},
    // Checks its own requests: a scraper's credentials, or a session.
    {"/KOR/metrics", Match::kWholeExact, Answer::kPage, &PageTable::Make<MetricsPage>, Access::kAnyone},
    // The JSON API (its routes: ApiRoutes).
    {"/KOR/api/v1/", Match::kPrefix, Answer::kPage, &PageTable::Make<ApiRouter>, Access::kApi},
};

}  // namespace

bool PageTable::Matches(const Route& route, const char* path) {
  if (path == nullptr) return false;
  switch (route.match) {
    case Match::kWholeAnyCase:
      return AsciiCase::Equal(path, route.path);
    case Match::kWholeExact:
      return std::strcmp(path, route.path) == 0;
    case Match::kPrefix:
      return std::strncmp(path, route.path, std::strlen(route.path)) == 0;
  }
  return false;
}

const PageTable::Route* PageTable::Find(const char* path) {
  for (const Route& route : kRows) {
    if (Matches(route, path)) return &route;
  }
  return nullptr;
}

const PageTable::Route* PageTable::Rows() { return kRows; }

size_t PageTable::RowCount() { return std::size(kRows); }

}  // namespace orla
