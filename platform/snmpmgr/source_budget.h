#pragma once
// A budget of costly acts per source address: a token bucket for each
// IPv4 source, `burst` tokens deep, refilled at `perSecond`. The trap
// receiver charges a source for what costs it work and yields nothing (a
// refused or malformed datagram) and for every datagram it sends back (a
// report, an inform's acknowledgement), and turns away a source whose
// bucket is empty before it decodes anything more of it: a sender of
// forgeries spends its own share, not the others'.
//
// The table is bounded: past `maxSources` the source served longest ago
// makes room (it starts again with a full bucket, which costs a flood of
// fresh forged addresses nothing it did not already have). Not locked: the
// receiver's one thread owns it.
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <list>
#include <unordered_map>

namespace orla {

class SourceBudget {
 public:
  using TimePoint = std::chrono::steady_clock::time_point;

  SourceBudget(double burst, double perSecond, size_t maxSources);

  // Whether `source` has a token left at `now` (nothing is spent).
  bool Has(uint32_t source, TimePoint now);
  // Spends one token of `source` at `now`; false (and nothing spent) when
  // it had none.
  bool Spend(uint32_t source, TimePoint now);
  size_t Sources() const { return entries_.size(); }

 private:
  struct Entry {
    double tokens;
    TimePoint refilled;
    std::list<uint32_t>::iterator recent;
  };
  Entry& Refilled(uint32_t source, TimePoint now);

  double burst_;
  double perSecond_;
  size_t maxSources_;
  std::unordered_map<uint32_t, Entry> entries_;
  // Sources, the one served most recently first.
  std::list<uint32_t> recent_;
};

}  // namespace orla
