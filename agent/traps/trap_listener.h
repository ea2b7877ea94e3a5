#pragma once
// The agent's one trap listener thread. It registers for trap delivery
// (SnmpMgrTrapListen), waits for the event that says traps are queued, and
// takes them one by one (SnmpMgrGetTrap). A trap whose agent address is that
// of a managed element becomes a TrapMessage for the trap sender's
// LogReceivedTrap; traps from any other address are taken and dropped.
//
// The filter looks at the agent address the trap carries, not at the address
// its datagram came from.
#include <atomic>
#include <thread>

#include "agent/core/root_object.h"

namespace orla {

class ManualResetEvent;
class SnmpBinding;
class TrapMessage;
struct SnmpVarBind;

class TrapListener : public RootObject {
 public:
  // No thread yet.
  TrapListener();
  // Ends the thread: it stops at its next wake-up, after the trap it is
  // handling (the handling may wait for the registry).
  ~TrapListener() override;
  TrapListener(const TrapListener&) = delete;
  TrapListener& operator=(const TrapListener&) = delete;

  // Starts the listener thread unless one runs already. Throws OrlaException
  // 3003 "Unable to create a thread." when it cannot be created.
  void Start();

  // One received binding as the agent's own value classes: the name always
  // (a copy of its sub-identifiers), the value for INTEGER, OCTET STRING,
  // OBJECT IDENTIFIER, IpAddress and TimeTicks; any other type gives a
  // binding with its name only. Throws OrlaException 3001 when a value
  // cannot be allocated.
  static SnmpBinding* ConvertBinding(const SnmpVarBind& received);

 private:
  void Routine();
  // Takes every queued trap and hands on those from managed elements.
  void DrainQueue();

  std::thread thread_;
  std::atomic<bool> stopping_{false};
  std::atomic<ManualResetEvent*> event_{nullptr};
};

}  // namespace orla
