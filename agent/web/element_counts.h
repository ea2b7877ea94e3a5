#pragma once
// ElementCounts: how many elements are ok, degraded, failed, unknown, not
// polled and stale, counted as the element list shows them
// (StatusBucket::Of), except that a stale element (not polled: v3-only
// without a profile) is never counted as ok: "stale" counts them all, and
// one whose last status was not ok stays counted under it as well.
// status.json and the API's agent resource answer the same counts.
#include <cstddef>
#include <string>
#include <vector>

#include "agent/devices/element_snapshot.h"

namespace orla {

class ElementCounts {
 public:
  static ElementCounts Of(const std::vector<ElementView>& elements);
  // {"ok":N,"degraded":N,"failed":N,"unknown":N,"notPolled":N,"stale":N}
  std::string Json() const;

 private:
  size_t byBucket_[5] = {0, 0, 0, 0, 0};
  size_t stale_ = 0;
};

}  // namespace orla
