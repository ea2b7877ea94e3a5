#pragma once
// RenameElementPage: "/KOR/rename_element.html", the dialog in which an
// administrator gives a managed tape controller a new name of up to 8
// characters.
//
// GET lists the names of all elements (registry order, from the list string
// without a status refresh) and a field for the new name. POST checks, in
// this order, the administrator right, that both fields are there, that the
// new name differs from the current one, its length (1 to 8) and its
// characters (none of " |'+;"); then the registry renames the element and
// rewrites KORAgent.db. The checks' error pages lead back to the rename
// dialog (the missing right or fields: OK closes the window); the
// registry's failures also reload the element list.
//
// A form sent without a new name carries "new_name=" as its last field,
// which GetField reports as absent; this page counts such a field as
// present and empty, so the user sees the length message rather than a
// complaint about the form. Names are HTML-escaped in the selection list.
#include <cstdint>

#include "web_page.h"

namespace orla {

class RenameElementPage : public WebPage {
 public:
  using WebPage::WebPage;
  ~RenameElementPage() override = default;

  uint32_t HandleGet() override;
  uint32_t HandlePost() override;

 private:
  // True when the request's form data ends with field `name` and nothing
  // after its "=".
  bool NamedLastWithoutValue(const char* name);
};

}  // namespace orla
