// The element list page with its menu bar, the about page and the XML
// discovery document.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "agent/core/orla_exception.h"
#include "agent/devices/element_registry.h"
#include "agent/traps/trap_sender.h"
#include "agent/web/about_page.h"
#include "agent/web/discovery_document_page.h"
#include "agent/web/element_list_page.h"
#include "agent/web/text_escape.h"
#include "platform/sysinfo/system_info.h"
#include "tests/support/scoped_settings.h"
#include "tests/unit/web/dialog_fixture.h"
#include "tests/unit/web/recording_request.h"

namespace orla {
namespace {

using test::Contains;
using test::RecordingRequest;

size_t Count(const std::string& text, const std::string& piece) {
  size_t n = 0;
  for (size_t at = text.find(piece); at != std::string::npos; at = text.find(piece, at + piece.size())) ++n;
  return n;
}

// The list page over a given element count and list string; a null list
// makes the registry fail.
class CannedListPage : public ElementListPage {
 public:
  CannedListPage(EXTENSION_CONTROL_BLOCK* request, int32_t count, const char* list)
      : ElementListPage(request), count_(count), list_(list) {}

 protected:
  int32_t ElementCount() override { return count_; }
  std::string ElementList() override {
    if (list_ == nullptr) throw new OrlaException(3, 0, "No object with that name exists.");
    return list_;
  }

 private:
  int32_t count_;
  const char* list_;
};

const char kHead[] =
    "<HTML><HEAD><SCRIPT language=javascript1.2 src='orla_utilities.js'> </SCRIPT>"
    "<SCRIPT language=javascript1.2 src='menu.js'> </SCRIPT><SCRIPT language=javascript1.2 src='menu_ops.js'> "
    "</SCRIPT><SCRIPT language=javascript1.2>includeStyleSheet();selected=null;</SCRIPT></HEAD><BODY>";
const char kBlackRule[] =
    "<TR><TD width=100% colspan=4><img border=0 src=pixel_black.gif width=100% height=1></td></TR>";
const char kGreyRule[] =
    "<TR><TD width=100% colspan=4><img border=0 src=pixel_grey.gif width=100% height=1></td></TR>";
const char kMenuBarStart[] = "<SCRIPT LANGUAGE=JavaScript1.2>if (document.images) {";

std::string ListPage(uint32_t rights, int32_t count, const char* list) {
  RecordingRequest request("GET", "/KOR/elements.html");
  request.rights = rights;
  CannedListPage page(request.Ecb(), count, list);
  EXPECT_EQ(page.Process(), 1u);
  EXPECT_EQ(request.header, "Content-type: text/html\r\nContent-length: " + std::to_string(request.body.size()) +
                                "\r\nCache-Control: no-cache\r\n\r\n");
  return request.body;
}

const char kThree[] =
    "0|tc01|10.0.0.1|Model A|http://10.0.0.1/|http://10.0.0.1/|"
    "2|tc02|10.0.0.2|Model B|http://10.0.0.2/|http://10.0.0.2/|"
    "3|tc03|10.0.0.3| |http://10.0.0.3/|http://10.0.0.3/";

TEST(ElementListPage, ThreeElementsInRegistryOrderBetweenRules) {
  const std::string body = ListPage(2, 3, kThree);
  const std::string row1 = "<td><img src=ok.gif></td><td><A HREF=\"http://10.0.0.1/\" TARGET=\"10.0.0.1\">tc01</a>"
                           "</td><td>10.0.0.1</td><td>Model A</td></tr>\n";
  const std::string row2 = "<td><img src=failed.gif></td><td><A HREF=\"http://10.0.0.2/\" TARGET=\"10.0.0.2\">tc02"
                           "</a></td><td>10.0.0.2</td><td>Model B</td></tr>\n";
  const std::string row3 = "<td><img src=unknown.gif></td><td><A HREF=\"http://10.0.0.3/\" TARGET=\"10.0.0.3\">tc03"
                           "</a></td><td>10.0.0.3</td><td> </td></tr>\n";
  const std::string between = std::string("<TR class=light>") + kGreyRule;
  const std::string table =
      std::string("<CENTER><FORM><TABLE cellspacing=0 border=0 width=100%>"
                  "<TR><TD width=100% colspan=4 class=header>Tape Controller List</TD></TR>\n"
                  "<TR class=header> <TD>Status</TD> <TD>Name</TD> <TD>TCP/IP Address</TD> <TD>Model Name</TD> "
                  "</TR>\n") +
      kBlackRule + row1 + between + row2 + between + row3 + kBlackRule + "</table></form></center></body></html>";
  EXPECT_EQ(body.rfind(kHead, 0), 0u);
  EXPECT_TRUE(Contains(body, "<script language=javascript1.2>loadMenus(3);</script>" + std::string(kMenuBarStart)));
  ASSERT_GE(body.size(), table.size());
  EXPECT_EQ(body.substr(body.size() - table.size()), table);
  EXPECT_EQ(Count(body, "pixel_grey.gif"), 2u);
  EXPECT_EQ(Count(body, "pixel_black.gif"), 2u);
}

TEST(ElementListPage, AnonymousGetsNoMenuButTheWholeTable) {
  const std::string body = ListPage(0x80000000u, 3, kThree);
  EXPECT_TRUE(Contains(body, "loadMenus(-1);"));
  EXPECT_FALSE(Contains(body, kMenuBarStart));
  EXPECT_FALSE(Contains(body, "tcm_menu"));
  EXPECT_EQ(Count(body, "<A HREF="), 3u);
  // Signed in without the administrator right: the same.
  EXPECT_TRUE(Contains(ListPage(1, 3, kThree), "loadMenus(-1);"));
}

TEST(ElementListPage, AdministratorWithNoElements) {
  const std::string body = ListPage(2, 0, " ");
  const std::string bar =
      std::string(kMenuBarStart) +
      "img1off = new Image(); img1off.src = \"tcm_menu.gif\";img1on = new Image(); img1on.src = "
      "\"tcm_menu_roll.gif\";} </SCRIPT><table bgColor=#ccccff border=0 cellPadding=0 cellSpacing=0 width=100%>"
      "<tr><td align=left width=115 height=18><table width=115 border=0 cellPadding=0 cellSpacing=0>"
      "<tr><td align=center width=1><img src=pixel_white.gif width=1 height=18 border=0></td>"
      "<td align=center width=115><a href=\"javascript:window.showMenu(window.TCMAction,17,21);\""
      "onClick=\"window.showMenu(window.TCMAction,17,21);\"><IMG NAME = \"img1\" SRC= \"tcm_menu_roll.gif\" "
      "border=\"0\"></a></td><td align=\"center\" width=\"1\"><img src=\"pixel_white.gif\" width=\"1\" "
      "height=\"18\" border=\"0\"></td></tr></table></td></tr></table>";
  EXPECT_EQ(body, std::string(kHead) + "<script language=javascript1.2>loadMenus(0);</script>" + bar +
                      "<br><br><center><DIV class=head2>No elements defined.</DIV></center>");
}

TEST(ElementListPage, RegistryFailureEndsThePageBelowTheMenu) {
  const std::string body = ListPage(2, 2, nullptr);
  const std::string end =
      "</tr></table></td></tr></table>"
      "<center><br><br><DIV class=head2>Error retrieving element data.</DIV></center></body></html>";
  ASSERT_GE(body.size(), end.size());
  EXPECT_EQ(body.substr(body.size() - end.size()), end);
}

TEST(ElementListPage, DeviceTextsShowAsTextAndOddStatusesAsUnknown) {
  const std::string body = ListPage(
      2, 2,
      "-1|tc01|10.0.0.1|<img src=x onerror=alert(1)>|http://10.0.0.1/\"><script>|u|"
      "7|a&b|10.0.0.2|\"quoted\"|http://10.0.0.2/|u");
  EXPECT_FALSE(Contains(body, "<img src=x"));
  EXPECT_FALSE(Contains(body, "<script>"));
  EXPECT_TRUE(Contains(body, "<td>&lt;img src=x onerror=alert(1)&gt;</td>"));
  EXPECT_TRUE(Contains(body, "HREF=\"http://10.0.0.1/&quot;&gt;&lt;script&gt;\""));
  EXPECT_TRUE(Contains(body, ">a&amp;b</a>"));
  EXPECT_EQ(Count(body, "<td><img src=unknown.gif></td>"), 2u);
  EXPECT_EQ(ElementListPage::StatusCell(1), std::string("<td><img src=degraded.gif></td>"));
}

TEST(AboutPage, GetWritesThePagePostWritesNothing) {
  for (const char* path : {"/KOR/about.htm", "/KOR/about.html"}) {
    RecordingRequest request("GET", path);
    AboutPage page(request.Ecb());
    EXPECT_EQ(page.Process(), 1u);
    EXPECT_EQ(request.body.rfind("<html><head><style type=\"text/css\">td {font-family: Verdana;", 0), 0u);
    EXPECT_TRUE(Contains(request.body, "<h2 class=header align=\"center\">Tarvik Marrowline&#8482;<br>Tape Controller "
                                       "Management<br>Version V2.7.2.13</h2><br><center><table border=\"5\"><tr><td>"));
    EXPECT_TRUE(Contains(request.body, "name=Ok onclick=parent.close()></center></form></body></html>\")} </script>"));
  }
  RecordingRequest post("POST", "/KOR/about.html", "", "x=1");
  AboutPage page(post.Ecb());
  EXPECT_EQ(page.Process(), 1u);
  EXPECT_EQ(post.headerCalls, 0);
  EXPECT_TRUE(post.body.empty());
}

class DiscoveryDocument : public test::DialogFixture {
 protected:
  // Adds elements with these statuses (none read yet).
  void Add(const std::vector<int>& statuses) {
    for (size_t i = 0; i < statuses.size(); ++i) {
      const std::string address = "10.9.0." + std::to_string(i + 1);
      SetDevice(address, [&](test::FakeDevice& d) { d.status = statuses[i]; });
      registry_->AddElement("tc" + std::to_string(i), address, 300);
    }
  }
  std::string Document(const char* method = "GET") {
    RecordingRequest request(method, "/KOR/kor.xml");
    DiscoveryDocumentPage page(request.Ecb());
    EXPECT_EQ(page.Process(), 1u);
    EXPECT_TRUE(Contains(request.header, "Content-type: text/html\r\n"));
    return request.body;
  }
};

TEST_F(DiscoveryDocument, NoElementsIsGoodAndNamesTheHost) {
  test::ScopedSettings settings;
  settings.HttpsPort(9443);
  const std::string host = SystemInfo::ComputerName();
  ASSERT_FALSE(host.empty());
  const std::string expected =
      "<?xml version=\"1.0\" encoding=\"UTF-8\" ?>\n<!DOCTYPE TrvVmStructuredInfo>\n"
      "<Structured_info_page version=\"1.0\">\n<zepa_data>\n<zepa_host_name>" + host + "</zepa_host_name>\n"
      "<zepa_name>Tape Controller Management</zepa_name>\n"
      "<zepa_description>ZEPA for management of Fibre Channel Tape Controllers</zepa_description>\n"
      "<zepa_version>V1.0</zepa_version>\n<zepa_os>" + TrapSender::AgentOsName() + "</zepa_os>\n"
      "<zepa_os_version>" + TextEscape::Xml(TrapSender::AgentOsVersion()) + "</zepa_os_version>\n"
      "<zepa_supported>\n<hardware_type>\n<hardware_class>Tape Controller</hardware_class>\n"
      "<hardware_model>various</hardware_model>\n</hardware_type>\n</zepa_supported>\n</zepa_data>\n"
      "<managed_object>\n<object_name>Managed_Tape_Controllers</object_name>\n<object_ID>1</object_ID>\n"
      "<object_status>good</object_status>\n<hardware_type>\n"
      "<hardware_class>Managed_Tape_Controllers</hardware_class>\n<hardware_model>various</hardware_model>\n"
      "</hardware_type>\n<task_page>\n<task_name>manage</task_name>\n<url>https://" + host + ":9443/KOR/</url>\n"
      "</task_page>\n</managed_object>\n</Structured_info_page>\n";
  EXPECT_EQ(Document(), expected);
  EXPECT_EQ(Document("POST"), expected);
}

TEST_F(DiscoveryDocument, OverallStatusOfTheElements) {
  struct Case {
    std::vector<int> statuses;
    bool read;
    const char* status;
  };
  const std::vector<Case> cases = {
      {{2, 1}, true, "critical"},
      {{1, 3}, true, "minor"},
      {{0, 0}, false, "good"},  // not read yet: -1
      {{0, 0}, true, "good"},
  };
  for (const Case& c : cases) {
    for (const char* name : {"tc0", "tc1"}) {
      try {
        registry_->RemoveElement(name);
      } catch (OrlaException* e) {
        std::unique_ptr<OrlaException> owned(e);
      }
    }
    Add(c.statuses);
    if (c.read) registry_->UpdateAllStatus();
    EXPECT_TRUE(Contains(Document(), std::string("<object_status>") + c.status + "</object_status>\n"))
        << c.status;
  }
  EXPECT_EQ(DiscoveryDocumentPage::StatusElement('x'), std::string("<object_status>unknown</object_status>\n"));
}

}  // namespace
}  // namespace orla
