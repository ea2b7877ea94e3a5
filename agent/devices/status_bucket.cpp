#include "agent/devices/status_bucket.h"

#include "agent/devices/plugin/device_plugin.h"

namespace orla {

StatusBucket::Kind StatusBucket::Of(int32_t status) {
  switch (status) {
    case plugin::kStatusOk: return Kind::kOk;
    case plugin::kStatusDegraded: return Kind::kDegraded;
    case plugin::kStatusFailed: return Kind::kFailed;
    case -1: return Kind::kNotPolled;
    default: return Kind::kUnknown;
  }
}

}  // namespace orla
