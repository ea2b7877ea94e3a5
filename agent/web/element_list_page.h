#pragma once
// ElementListPage: "/KOR/elements.html", the table of every managed tape
// controller with its status image, name (a link to the device's own pages,
// opening in a window named after its address), address and model. A user
// with the administrator right also gets the menu bar from which the dialog
// pages open; the menu scripts learn the number of elements through
// loadMenus(n), n = -1 for anyone else (no menu). GET and POST give the same
// page. The list comes from the registry after a status pass; a registry
// failure ends the page with "Error retrieving element data.".
//
// Status images: 0 ok.gif, 1 degraded.gif, 2 failed.gif; 3 (unknown), -1
// (not yet read) and any other value unknown.gif. Every name, address,
// description and link is HTML-escaped.
#include <cstdint>
#include <string>

#include "web_page.h"

namespace orla {

class ElementListPage : public WebPage {
 public:
  using WebPage::WebPage;

  uint32_t HandleGet() override;
  uint32_t HandlePost() override;

  // Appends the menu bar: a light blue bar with the one menu button that
  // opens the TCMAction menu.
  void WriteMenuBar();

  // The status cell for a status number.
  static const char* StatusCell(int32_t status);

 protected:
  // The registry's element count, and its list string after a status pass
  // (throws what the registry throws). Tests replace them.
  virtual int32_t ElementCount();
  virtual std::string ElementList();
};

}  // namespace orla
