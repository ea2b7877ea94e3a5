#pragma once
// The making of elements for the element registry: a device recognised
// (Recognizer) and its element bound to the type's plug-in, or, when that
// fails, the element kept unbound with a thread that retries the binding.
// The binder touches no list and takes no lock, so the registry calls it
// with or without its lock held and from several threads at once; what it
// needs of the registry it asks of its Owner.
//
// Private to the device library. Failures are thrown as OrlaException
// pointers (see agent/core).
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

namespace orla {

class Clock;
class Element;
class ElementState;
class StatusChangeListener;

class ElementBinder {
 public:
  // Why an element could not be bound, as its make reported it.
  struct Failure {
    int32_t code = 0;
    uint32_t osError = 0;
    std::string message;
  };

  // What the binder asks of the registry that owns it. Each is called from
  // whichever thread makes an element, with or without the registry lock.
  class Owner {
   public:
    // Who a new element tells about its status changes.
    virtual StatusChangeListener* Listener() const = 0;
    // The clock a new element runs on (its polling thread, its status times).
    virtual Clock* ElementClock() const = 0;
    // Whether the initial load has ended: until then an element whose
    // binding fails is kept with what binding set up.
    virtual bool LoadEnded() const = 0;
    // The registry's polling interval, for the log text of an unbound
    // element.
    virtual int32_t PollingInterval() const = 0;
    // Retires a half-made element's polling thread (joined later, never
    // under the registry lock) and destroys the element. Never fails.
    virtual void Discard(std::unique_ptr<Element>& element) = 0;
    // Stops every rewrite of the element file: an element in it could not
    // be kept in memory.
    virtual void StopRewrites() = 0;
    // The retry an unbound element's thread runs, once per polling interval.
    virtual void BindLater(const std::shared_ptr<ElementState>& state) = 0;

   protected:
    ~Owner() = default;
  };

  explicit ElementBinder(Owner& owner);
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
  // be made (no memory, no thread): rewrites of the element file are then
  // stopped and a CRITICAL entry names the element.
  std::unique_ptr<Element> KeepUnbound(const std::string& name, const std::string& address, int32_t pollingInterval,
                                       const Failure& failure);
  // Logs why the element stays unbound: a WARNING naming it and its
  // address, or the one CRITICAL entry of a reached open-files limit.
  void ReportUnbound(const std::string& name, const std::string& address, const Failure& failure) const;
  // The model text of an element kept unbound by `code`; for an SNMPv3
  // security failure (2009) the words that begin its `message`
  // ("Authentication failed"), or "No SNMPv3 profile (v3-only)" whole.
  static std::string UnboundReason(int32_t code, const std::string& message = std::string());

 private:
  // A new element with the registry's listener and clock, not yet bound.
  std::unique_ptr<Element> NewElement(const std::string& type, const std::string& name, const std::string& address,
                                      int32_t pollingInterval) const;

  Owner& owner_;
};

}  // namespace orla
