#pragma once
// One managed device (tape controller or library): its name, address and device type, what
// binding to the type's plug-in set up (communities, home page links,
// sessions, identity texts, polling thread), and the plug-in calls made on
// its behalf.
//
// The element binder creates and binds elements, touching no list; the
// element registry keeps, changes and destroys them under its lock. The
// parts the element's polling thread uses live in a shared ElementState
// (see there).
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "agent/core/root_object.h"
#include "agent/devices/element_record.h"

namespace orla {

class ElementPoller;
class ElementState;
class Clock;
class SnmpSession;
class StatusChangeListener;
class TrapMessage;

class Element : public RootObject {
 public:
  // The identity texts until the plug-in supplies them: a single space, so
  // that no field of the registry's list string is empty.
  static constexpr const char kNoText[] = " ";

  // The element's polling thread and its status times run on `clock` (the
  // system's when null).
  Element(std::string typeName, std::string name, std::string address, int32_t pollingInterval,
          StatusChangeListener* listener, Clock* clock);
  // Stops and joins a polling thread the element still owns; the registry
  // takes the poller out first (TakePoller) so that it never joins under its
  // lock.
  ~Element() override;
  Element(const Element&) = delete;
  Element& operator=(const Element&) = delete;

  // Binds the element to its device type: reads the type file, computes the
  // home page links, loads the plug-in, opens the set and get sessions,
  // reads the identity texts, starts the polling thread and answers the
  // plug-in's "CheckTrapReceiver": -1 the device lacks the expected
  // community, 0 it does not send its traps here, other: set up. Throws
  // OrlaException 3002, 3006, 3001, 2013, 2008, 3003 or what a plug-in call
  // throws; what earlier steps set up stays in the element.
  int32_t BindElement();

  // Keeps an element that could not be bound (its device silent, no type
  // claiming it): no type, no plug-in, status -1, `reason` as its model
  // text, the agent's root as its link; its polling thread runs `retry`
  // once per polling interval. `code` is the error that kept it unbound.
  // Throws OrlaException 3003 when the thread cannot be started.
  void KeepUnbound(int32_t code, const std::string& reason, std::function<void()> retry);
  bool IsBound() const;
  // The error that keeps an unbound element unbound, and its model text.
  int32_t UnboundCode() const { return unboundCode_; }
  const std::string& UnboundReason() const { return unboundReason_; }
  void SetUnboundReason(int32_t code, const std::string& reason) {
    unboundCode_ = code;
    unboundReason_ = reason;
  }

  // The record the registry publishes: what binding (or keeping unbound)
  // set up, with the name the element has now.
  ElementRecord Record() const;

  // "SetTrapReceiver" with the set session and the trap-receiver stamp; the
  // plug-in's answer is ignored. Throws OrlaException 3006 when the
  // function is missing. (The other plug-in calls, the name, the interval
  // and the status are the state's: State().)
  void SetTrapReceiver();

  // What the element's polling thread, status passes and trap handling
  // share with it.
  const std::shared_ptr<ElementState>& State() const { return state_; }

  // Hands the polling thread over (null when there is none), retired: it
  // starts no new poll. Its destructor joins the thread.
  std::unique_ptr<ElementPoller> TakePoller();

  const std::string& TypeName() const { return typeName_; }
  const std::string& Address() const { return address_; }

  const std::string& PluginFileName() const { return pluginFileName_; }
  SnmpSession* SetSession() const { return setSession_.get(); }

  // "devices/%s" with a file name: the folder of the type files and plug-ins,
  // below the current directory.
  static std::string DevicesPath(const std::string& fileName);
  // A device text as an element keeps it: the zero-terminated text in the
  // buffer (never read past it), with "|" and line breaks, which separate
  // the fields of the element file and the list string, turned into spaces.
  static std::string DeviceText(const char* buffer, size_t size);

 private:
  void ReadIdentityText(const char* function, std::string* field);
  void ComputeLinks(const std::string* pageTemplate);

  std::unique_ptr<SnmpSession> setSession_;
  std::string typeName_;
  std::string address_;
  std::shared_ptr<ElementState> state_;  // name, interval, status, gate, stamp, library, get session
  std::string worldWideName_ = kNoText;
  std::string description_ = kNoText;
  std::string firmwareVersion_ = kNoText;
  std::string setCommunity_;
  std::string getCommunity_;
  std::string pluginFileName_;
  bool embeddedHomePage_ = false;
  std::string devicePageLink_;
  std::string agentPageUrl_;
  int32_t unboundCode_ = 0;
  std::string unboundReason_;  // empty while bound
  std::unique_ptr<ElementPoller> poller_;
};

}  // namespace orla
