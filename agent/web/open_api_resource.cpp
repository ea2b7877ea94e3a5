#include "open_api_resource.h"

namespace orla {

ApiReply OpenApiResource::Get(const ApiCall&) { return ApiReply::Json(200, kDocument); }

}  // namespace orla
