#include "events_resource.h"

#include "events_json_page.h"

namespace orla {

ApiReply EventsResource::List(const ApiCall& call) {
  return ApiReply::Json(200, EventsJsonPage::Answer([&call](const char* name) { return call.QueryField(name); }));
}

}  // namespace orla
