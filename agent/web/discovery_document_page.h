#pragma once
// DiscoveryDocumentPage: "/KOR/kor.xml", the XML document by which a
// management console learns that this agent runs on the host, what it
// manages, how healthy the managed tape controllers are as a whole and where
// its pages are. Built on every request from the registry's overall status
// (no status pass is run) and the host's identity; needs no rights. GET and
// POST give the same document, sent with the pages' own header.
//
// The host is named by its host name; when that cannot be read, by the agent
// host address (which then throws OrlaException 2013 if the host cannot be
// resolved either). Every value is XML-escaped. Overall status: "0" good,
// "1" minor, "2" critical, anything else (no registry) unknown.
#include <cstdint>
#include <string>

#include "web_page.h"

namespace orla {

class DiscoveryDocumentPage : public WebPage {
 public:
  using WebPage::WebPage;

  uint32_t HandleGet() override;
  uint32_t HandlePost() override;

  // The <object_status> element for an overall status character.
  static const char* StatusElement(char overallStatus);

 protected:
  // The host name, empty when it cannot be read. Tests replace it.
  virtual std::string HostName();
};

}  // namespace orla
