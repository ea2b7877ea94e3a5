#include "agent/traps/notification_sender.h"

#include <utility>
#include <vector>

#include "agent/core/event_log.h"
#include "agent/core/snmp_v3_credential_store.h"
#include "agent/snmp/snmp_v3_usm.h"
#include "agent/traps/notification_target_list.h"
#include "agent/traps/trap_statistics.h"
#include "platform/text/string_printf.h"

namespace orla {

std::atomic<NotificationSender*> NotificationSender::instance_{nullptr};

NotificationSender::NotificationSender(std::string targetFile)
    : NotificationSender(std::move(targetFile), SnmpNotifier::Options()) {}

NotificationSender::NotificationSender(std::string targetFile, SnmpNotifier::Options options)
    : targetFile_(std::move(targetFile)), notifier_(&NotificationSender::Report, options) {}

NotificationSender* NotificationSender::Instance() { return instance_.load(std::memory_order_acquire); }

void NotificationSender::SetInstance(NotificationSender* sender) {
  instance_.store(sender, std::memory_order_release);
}

void NotificationSender::Report(const std::string& target, SnmpNotifier::Outcome outcome,
                                const std::string& detail) {
  TrapStatistics& counts = TrapStatistics::Instance();
  switch (outcome) {
    case SnmpNotifier::Outcome::kSent: counts.notificationsSent.Add(target); break;
    case SnmpNotifier::Outcome::kAcknowledged: counts.notificationsAcknowledged.Add(target); break;
    case SnmpNotifier::Outcome::kRetried: counts.notificationsRetried.Add(target); break;
    case SnmpNotifier::Outcome::kFailed:
      counts.notificationsFailed.Add(target);
      EventLog::Write(EventLog::kWarning,
                      StringPrintf("The notification to %s failed: %s.", target.c_str(), detail.c_str()));
      break;
  }
}

void NotificationSender::Finish(std::chrono::milliseconds limit) {
  for (const auto& [target, count] : notifier_.Finish(limit)) {
    TrapStatistics::Instance().notificationsFailed.Add(target, count);
    EventLog::Write(EventLog::kWarning, StringPrintf("%zu notifications to %s were given up: the agent stopped.", count,
                                                     target.c_str()));
  }
}

bool NotificationSender::SkipForV3Only(bool v3Only, std::atomic<bool>* skipping, const std::string& what) {
  if (skipping->exchange(v3Only) != v3Only && v3Only) {
    EventLog::Write(EventLog::kWarning,
                    StringPrintf("v3-only is on: %s are not sent, as they would carry a community.", what.c_str()));
  }
  return v3Only;
}

void NotificationSender::Send(SnmpNotification notification) {
  NotificationTargetList list;
  std::string error;
  const bool read = list.Load(targetFile_, &error);
  std::vector<SnmpNotifyTarget> targets;
  {
    std::lock_guard<std::mutex> hold(mutex_);
    if (!read) {
      if (error != lastFileError_) {
        EventLog::Write(EventLog::kWarning,
                        StringPrintf("The notification targets cannot be read: %s.", error.c_str()));
      }
      lastFileError_ = error;
      return;
    }
    lastFileError_.clear();
  }
  const std::shared_ptr<const SnmpV3Credentials> credentials = SnmpV3CredentialStore::Instance().Current();
  std::string skipped;
  for (const NotificationTargetList::Target& t : list.Targets()) {
    if (!NotificationTargetList::IsV3(t.kind) && credentials->V3Only()) {
      skipped += (skipped.empty() ? "" : ", ") + NotificationTargetList::Name(t);
      continue;
    }
    SnmpNotifyTarget target;
    target.name = NotificationTargetList::Name(t);
    target.host = t.host;
    target.port = t.port;
    target.v3 = NotificationTargetList::IsV3(t.kind);
    target.inform = NotificationTargetList::IsInform(t.kind);
    if (!target.v3) {
      target.community = t.credential;
    } else if (const SnmpV3Profile* profile = credentials->Find(t.credential)) {
      target.usm = SnmpV3Usm::Of(*profile);
    } else {
      Report(target.name, SnmpNotifier::Outcome::kFailed, "there is no SNMPv3 profile \"" + t.credential + "\"");
      continue;
    }
    targets.push_back(std::move(target));
  }
  SkipForV3Only(!skipped.empty(), &skippingV2c_, "the notifications to the SNMPv2c targets " + skipped);
  notifier_.Send(std::move(targets), std::move(notification));
}

}  // namespace orla
