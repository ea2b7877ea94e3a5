#pragma once
// The agent's own notifications to its SNMPv2c and SNMPv3 targets
// (targets.ini, NotificationTargetList), beside the SNMPv1 traps to the
// hosts of client.ini. The trap sender hands it each status-change
// notification; it reads the target file afresh (so what korsnmpv3 or the
// targets page changed counts from the next notification on, without a
// restart), finds each SNMPv3 target's profile in the agent's credentials
// (SnmpV3CredentialStore, also read again when changed), and passes the lot to the
// SnmpNotifier, whose one thread sends, waits for acknowledgements and
// retries. Every outcome is counted per target (TrapStatistics); an
// notification that fails or is given up is a WARNING naming the target.
// No pass phrase reaches a count, an event or a log line: the reports name
// the target and the reason only. In v3-only mode (SnmpV3Credentials) the
// SNMPv2c targets are skipped: nothing with a community goes out.
#include <atomic>
#include <chrono>
#include <memory>
#include <mutex>
#include <string>

#include "platform/snmpmgr/snmp_notifier.h"

namespace orla {

class NotificationSender {
 public:
  explicit NotificationSender(std::string targetFile);
  NotificationSender(std::string targetFile, SnmpNotifier::Options options);
  NotificationSender(const NotificationSender&) = delete;
  NotificationSender& operator=(const NotificationSender&) = delete;

  // Sends `notification` to every target of the file now (nothing when
  // there are none or the file cannot be read: its error is a WARNING, once
  // until it changes).
  void Send(SnmpNotification notification);
  // Until every notification so far is sent, acknowledged or given up.
  void WaitIdle() { notifier_.WaitIdle(); }

  // At a normal stop: up to `limit` to deliver the informs that wait, then
  // one WARNING per target naming it and the count given up.
  void Finish(std::chrono::milliseconds limit);

  // The target file it reads (what the targets page and korsnmpv3 write).
  const std::string& TargetFile() const { return targetFile_; }

  // In v3-only mode: one WARNING when `what` (the receivers that would be
  // sent a community) starts being skipped, none while it goes on, one
  // again after v3-only was off in between. Answers `v3Only`.
  static bool SkipForV3Only(bool v3Only, std::atomic<bool>* skipping, const std::string& what);

  static NotificationSender* Instance();
  static void SetInstance(NotificationSender* sender);

 private:
  static void Report(const std::string& target, SnmpNotifier::Outcome outcome, const std::string& detail);

  std::string targetFile_;
  std::mutex mutex_;
  std::string lastFileError_;
  std::atomic<bool> skippingV2c_{false};
  SnmpNotifier notifier_;

  static std::atomic<NotificationSender*> instance_;
};

}  // namespace orla
