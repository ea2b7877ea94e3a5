#pragma once
// The agent's trap path in one test process, wired as the agent wires it:
// the trap destination list, the trap sender and the element registry (its
// database in the agent directory) as the process-wide instances, the
// registry telling the sender of status changes through the notification
// gate (damped as the settings say, with the maintenance windows when
// given), and the received-trap log
// and the trap listener once the elements are loaded. Destroying it unwires
// everything.
#include <cstdint>
#include <memory>
#include <string>

#include "agent/core/agent_settings.h"
#include "agent/core/maintenance_book.h"
#include "agent/devices/element_registry.h"
#include "agent/traps/notification_gate.h"
#include "agent/traps/received_trap_log.h"
#include "agent/traps/trap_destination_list.h"
#include "agent/traps/trap_listener.h"
#include "agent/traps/trap_sender.h"
#include "agent/traps/trap_statistics.h"
#include "tests/integration/snmp/trap_daemon.h"

namespace orla::test {

class TrapStack {
 public:
  // The TrapListen setting names the listener's address; set it before
  // LoadAndListen().
  // `notifications`, when given, receives the status changes too;
  // `maintenance`, when given, holds back those of elements in maintenance.
  TrapStack(const std::string& agentDirectory, int pollingInterval, NotificationSender* notifications = nullptr,
            MaintenanceBook* maintenance = nullptr)
      : destinations_(std::make_unique<TrapDestinationList>(agentDirectory)),
        sender_(std::make_unique<TrapSender>(destinations_.get(), notifications)),
        gate_(std::make_unique<NotificationGate>(
            sender_.get(), maintenance,
            NotificationGate::Damping{AgentSettings::Current().NotifyHoldPolls(), AgentSettings::Current().FlapChanges(),
                                      AgentSettings::Current().FlapMinutes()})),
        registry_(std::make_unique<ElementRegistry>(agentDirectory + "/KORAgent.db", pollingInterval)),
        maintenance_(maintenance) {
    TrapDestinationList::SetInstance(destinations_.get());
    TrapSender::SetInstance(sender_.get());
    ElementRegistry::SetInstance(registry_.get());
    NotificationGate* gate = gate_.get();
    if (maintenance_ != nullptr) {
      maintenance_->SetEndListener([gate](const MaintenanceWindow& w) { gate->WindowEnded(w.element, w.endMs); });
    }
    registry_->SetStatusChangeListener(gate);
  }
  ~TrapStack() {
    listener_.reset();
    log_.reset();
    registry_.reset();
    if (maintenance_ != nullptr) maintenance_->SetEndListener(nullptr);
    ElementRegistry::SetInstance(nullptr);
    TrapSender::SetInstance(nullptr);
    TrapDestinationList::SetInstance(nullptr);
  }
  TrapStack(const TrapStack&) = delete;
  TrapStack& operator=(const TrapStack&) = delete;

  // Loads the registry's elements and starts the trap listener.
  void LoadAndListen() {
    registry_->LoadElements();
    log_ = std::make_unique<ReceivedTrapLog>(registry_.get());
    listener_ = std::make_unique<TrapListener>(registry_.get(), log_.get());
    listener_->Start();
  }

  TrapDestinationList* Destinations() const { return destinations_.get(); }
  TrapSender* Sender() const { return sender_.get(); }
  ElementRegistry* Registry() const { return registry_.get(); }
  // Null until LoadAndListen().
  TrapListener* Listener() const { return listener_.get(); }

  // Waits until the status traps queued so far have been sent and `daemon`
  // (the one destination) has received every one of them; the number of
  // traps it has then. What arrives after comes from what the test does
  // next.
  size_t SettledTraps(const TrapDaemon& daemon) const {
    sender_->WaitForStatusTraps();
    return daemon.WaitForTraps(static_cast<size_t>(SentTraps() - sentAtStart_)).size();
  }

 private:
  static uint64_t SentTraps() {
    uint64_t sent = 0;
    for (const auto& [destination, count] : TrapStatistics::Instance().sentTo.Snapshot()) sent += count;
    return sent;
  }

  const uint64_t sentAtStart_ = SentTraps();
  std::unique_ptr<TrapDestinationList> destinations_;
  std::unique_ptr<TrapSender> sender_;
  std::unique_ptr<NotificationGate> gate_;
  std::unique_ptr<ElementRegistry> registry_;
  MaintenanceBook* const maintenance_;
  std::unique_ptr<ReceivedTrapLog> log_;
  std::unique_ptr<TrapListener> listener_;
};

}  // namespace orla::test
