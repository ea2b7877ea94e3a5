#pragma once
// The making of elements for the element registry: a device recognised
// (Recognizer) and its element bound to the type's plug-in, or, when that
// fails, the element kept unbound with a thread that retries the binding.
// The binder touches no list and takes no lock, so the registry calls it
// with or without its lock held and from several threads at once.
//
// Private to the device library. Failures are thrown as OrlaException
// pointers (see agent/core).
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "agent/devices/element_record.h"

namespace orla {

class Clock;
class Element;
class ElementPublisher;
class ElementState;
class RetiredPollers;

class ElementBinder {
 public:
  // Why an element could not be bound, as its make reported it.
  struct Failure {
    int32_t code = 0;
    uint32_t osError = 0;
    std::string message;
  };

  // The retry an unbound element's thread runs, once per polling interval.
  using BindLaterHook = std::function<void(const std::shared_ptr<ElementState>&)>;

  // New elements report their changes to `publisher`, whose load state
  // also decides what a failed binding does (Make); half-made elements go
  // to `retired`.
  ElementBinder(ElementPublisher& publisher, RetiredPollers& retired, BindLaterHook bindLater);
  ElementBinder(const ElementBinder&) = delete;
  ElementBinder& operator=(const ElementBinder&) = delete;

  // Recognises and binds a new element: the element, and binding's
  // trap-receiver answer in `answer`. Throws the errors of recognition and
  // binding (2006 from binding becomes 2011), 3001 when memory runs out.
  // Before the load has ended, a failed binding other than 3002, 3006 or a
  // reached open-files limit keeps the element (a WARNING names it).
  std::unique_ptr<Element> Make(const std::string& name, const std::string& address, int32_t pollingInterval,
                                int32_t* answer);
  // Runs Make without logging its failure, which lands in `failure`; null
  // then.
  std::unique_ptr<Element> TryMake(const std::string& name, const std::string& address, int32_t pollingInterval,
                                   Failure* failure);

  // Reports why the element stays unbound (ReportUnbound) and keeps it
  // unbound, its thread running the retry hook. Null when not even that can
  // be made (no memory, no thread): a CRITICAL entry names the element, and
  // the caller must then stop rewriting the element file that still holds
  // it.
  std::unique_ptr<Element> KeepUnbound(const std::string& name, const std::string& address, int32_t pollingInterval,
                                       const Failure& failure);
  // Keeps a new element unbound without asking its device and without a
  // word in the log: its thread's first retry (woken by the caller)
  // recognises it. Null when it cannot be made (no memory, no thread).
  std::unique_ptr<Element> KeepPending(const std::string& name, const std::string& address, int32_t pollingInterval);
  // The model text of an element KeepPending made.
  static constexpr const char* kPendingReason = ElementRecord::kPendingReason;
  // Logs why the element stays unbound: a WARNING naming it, its address
  // and its retry interval, or the one CRITICAL entry of a reached
  // open-files limit.
  static void ReportUnbound(const std::string& name, const std::string& address, int32_t pollingInterval,
                            const Failure& failure);
  // The model text of an element kept unbound by `code`; for an SNMPv3
  // security failure (2009) the words that begin its `message`
  // ("Authentication failed"), or "No SNMPv3 profile (v3-only)" whole.
  static std::string UnboundReason(int32_t code, const std::string& message = std::string());

  // The clock new elements run on (their polling threads, their status
  // times); the system's when null. Set before the first make.
  void SetClock(Clock* clock) { clock_ = clock; }

 private:
  // A new element with the publisher as its listener and the clock, not
  // yet bound.
  std::unique_ptr<Element> NewElement(const std::string& type, const std::string& name, const std::string& address,
                                      int32_t pollingInterval) const;

  ElementPublisher& publisher_;
  RetiredPollers& retired_;
  const BindLaterHook bindLater_;
  Clock* clock_ = nullptr;
};

}  // namespace orla
