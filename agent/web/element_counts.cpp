#include "element_counts.h"

#include "agent/devices/status_bucket.h"
#include "platform/text/string_printf.h"

namespace orla {

ElementCounts ElementCounts::Of(const std::vector<ElementView>& elements) {
  ElementCounts counts;
  for (const ElementView& e : elements) {
    const StatusBucket::Kind bucket = StatusBucket::Of(e.status.status);
    if (e.status.stale) ++counts.stale_;
    if (!e.status.stale || bucket != StatusBucket::Kind::kOk) ++counts.byBucket_[static_cast<int32_t>(bucket)];
  }
  return counts;
}

std::string ElementCounts::Json() const {
  return StringPrintf("{\"ok\":%zu,\"degraded\":%zu,\"failed\":%zu,\"unknown\":%zu,\"notPolled\":%zu,\"stale\":%zu}",
                      byBucket_[0], byBucket_[1], byBucket_[2], byBucket_[3], byBucket_[4], stale_);
}

}  // namespace orla
