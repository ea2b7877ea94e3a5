#include "tests/unit/web/dialog_fixture.h"

#include <filesystem>

#include "agent/core/orla_exception.h"

namespace orla::test {

namespace {

// The text between `open` and the next `close` at or after `from`; "" when
// either is missing.
std::string Between(const std::string& body, const std::string& open, const std::string& close,
                    size_t from = 0) {
  const size_t start = body.find(open, from);
  if (start == std::string::npos) return "";
  const size_t end = body.find(close, start + open.size());
  if (end == std::string::npos) return "";
  return body.substr(start + open.size(), end - start - open.size());
}

}  // namespace

void DialogFixture::SetUp() {
  DevicesFixture::SetUp();
  std::filesystem::create_directory(dir_.File("KOR"));
  WriteAgentFile("storage.ini", "300\n");
  registry_ = std::make_unique<ElementRegistry>(dir_.File("KOR/KORAgent.db"), 300);
  registry_->LoadElements();
  ElementRegistry::SetInstance(registry_.get());
  destinations_ = std::make_unique<TrapDestinationList>(dir_.File("KOR"));
  destinations_->Load();
  TrapDestinationList::SetInstance(destinations_.get());
}

void DialogFixture::TearDown() {
  ElementRegistry::SetInstance(nullptr);
  TrapDestinationList::SetInstance(nullptr);
  registry_.reset();
  destinations_.reset();
  DevicesFixture::TearDown();
}

ErrorPage DialogFixture::ErrorOf(const std::string& body) {
  ErrorPage page;
  if (!Contains(body, "<TITLE>Quillane Command Console</TITLE>")) return page;
  page.found = true;
  // The message sits in the second cell, after the warning image.
  const size_t image = body.find("warningwhite.gif>");
  page.message = Between(body, "<TD class=dark valign=top>", "<P>", image);
  page.location = Between(body, "window.location='", "';");
  page.refresh = Contains(body, "function ResetParent(){window.opener.refresh();}");
  return page;
}

bool DialogFixture::IsSuccess(const std::string& body, const std::string& message) {
  return Contains(body, "<TITLE>Success!</TITLE>") && Contains(body, "<CENTER><BR><BR>" + message + "<P>");
}

bool DialogFixture::IsEmptyAddForm(const std::string& body) {
  return Contains(body, "<TITLE>Add Tape Controller</TITLE>") &&
         Contains(body, "function ResetParent(){window.opener.refresh();}") &&
         Contains(body, "<input type=text maxlength=32 size=20 name=element_address> </TD>") &&
         Contains(body, "<input type=text maxlength=8 size=20 name=element_name> </TD>");
}

void DialogFixture::AddElement(const std::string& name, const std::string& address) {
  try {
    registry_->AddElement(name, address, 180);
  } catch (OrlaException* e) {
    std::unique_ptr<OrlaException> owned(e);
    ADD_FAILURE() << "adding " << name << ": " << e->Message();
  }
}

}  // namespace orla::test
