#include "agent/alarms/alert_pusher.h"

#include <algorithm>
#include <exception>
#include <memory>
#include <utility>

#include "agent/alarms/alert_payload.h"
#include "agent/core/event_log.h"
#include "agent/core/orla_exception.h"
#include "alertmanager_link.h"
#include "platform/sync/clock.h"
#include "platform/text/string_printf.h"

namespace orla {

namespace {

// The labels of an alarm as one text, to see whether they changed.
std::string LabelKey(const Alarm& alarm) {
  std::string key;
  for (const auto& [name, value] : AlertPayload::LabelsOf(alarm)) key += name + "=" + value + "\n";
  return key;
}

bool Standing(const Alarm& alarm) { return alarm.state != Alarm::State::kCleared; }

}  // namespace

AlertPusher::AlertPusher(std::string configPath, AlarmSource source, Options options, Clock* clock)
    : configPath_(std::move(configPath)), source_(std::move(source)), options_(options), clock_(Clock::Or(clock)) {}

AlertPusher::~AlertPusher() { Stop(); }

void AlertPusher::Start() {
  if (thread_.joinable()) return;
  stopping_ = false;
  thread_ = std::thread([this] { Run(); });
}

void AlertPusher::Stop() {
  stopping_ = true;
  wake_.Set();
  if (thread_.joinable()) thread_.join();
  // Every Alertmanager's thread is told first, then each is waited for.
  std::vector<std::unique_ptr<AlertmanagerLink>> links;
  {
    std::lock_guard<std::mutex> hold(mutex_);
    links.swap(links_);
  }
  for (auto& link : links) link->AskToStop();
  for (auto& link : links) link->Join();
  ReapRetired(true);
  // A later Start builds the links again from the file.
  configStamp_.clear();
}

void AlertPusher::Poke() { wake_.Set(); }

void AlertPusher::Silence(const std::string& element, int64_t startsMs, int64_t endsMs, const std::string& createdBy,
                          const std::string& comment) {
  {
    std::lock_guard<std::mutex> hold(mutex_);
    orders_.push_back({true, element,
                       AlertPayload::SilenceJson(element, startsMs, endsMs, createdBy, comment, options_.signature)});
  }
  wake_.Set();
}

void AlertPusher::Unsilence(const std::string& element) {
  {
    std::lock_guard<std::mutex> hold(mutex_);
    orders_.push_back({false, element, ""});
  }
  wake_.Set();
}

std::vector<AlertPusher::Figures> AlertPusher::Statistics() const {
  std::lock_guard<std::mutex> hold(mutex_);
  std::vector<Figures> figures;
  for (const auto& link : links_) figures.push_back(link->Snapshot());
  return figures;
}

AlertingConfig AlertPusher::Config() const {
  std::lock_guard<std::mutex> hold(mutex_);
  return config_;
}

std::vector<std::string> AlertPusher::ConfigErrors() const {
  std::lock_guard<std::mutex> hold(mutex_);
  return configErrors_;
}

int64_t AlertPusher::SteadyMs() const {
  return std::chrono::duration_cast<std::chrono::milliseconds>(clock_->SteadyNow().time_since_epoch()).count();
}

void AlertPusher::Run() {
  while (!stopping_) {
    wake_.Reset();
    Pass();
    if (stopping_) break;
    clock_->WaitFor(wake_, std::chrono::milliseconds(options_.checkMs));
  }
}

void AlertPusher::Pass() {
  // The orders first: Alertmanagers added by this pass start with every
  // standing window.
  TakeSilenceOrders();
  ReloadConfig();
  LookAtAlarms(SteadyMs(), clock_->WallMilliseconds());
  ReapRetired(false);
}

void AlertPusher::ReloadConfig() {
  const std::string stamp = AlertingConfig::Stamp(configPath_);
  if (stamp == configStamp_) return;
  configStamp_ = stamp;
  std::vector<std::string> errors;
  const AlertingConfig config = AlertingConfig::Read(configPath_, &errors);
  for (const std::string& error : errors) {
    EventLog::Write(EventLog::kWarning, StringPrintf("%s: %s", AlertingConfig::kFileName, error.c_str()));
  }
  // Alertmanagers that stay keep their queue and silences; new ones get
  // the standing alarms and the wanted silences at once; removed ones end
  // their threads (joined once they have ended, never waited for here).
  std::vector<std::unique_ptr<AlertmanagerLink>> links;
  std::vector<std::unique_ptr<AlertmanagerLink>> old;
  {
    std::lock_guard<std::mutex> hold(mutex_);
    old.swap(links_);
  }
  for (const AlertingConfig::Alertmanager& am : config.Alertmanagers()) {
    auto kept = std::find_if(old.begin(), old.end(), [&am](const auto& link) { return link && link->Url() == am.url; });
    if (kept != old.end()) {
      (*kept)->Reconfigure(am);
      links.push_back(std::move(*kept));
      continue;
    }
    links.push_back(std::make_unique<AlertmanagerLink>(am, options_, wantedSilences_, clock_));
    links.back()->Start();
    resentOnce_ = false;  // the next look sends every standing alarm
  }
  for (auto& link : old) {
    if (!link) continue;
    link->AskToStop();
    retired_.push_back(std::move(link));
  }
  std::lock_guard<std::mutex> hold(mutex_);
  links_ = std::move(links);
  config_ = config;
  configErrors_ = errors;
}

void AlertPusher::ReapRetired(bool wait) {
  for (auto it = retired_.begin(); it != retired_.end();) {
    if (wait || (*it)->Finished()) {
      (*it)->Join();
      it = retired_.erase(it);
    } else {
      ++it;
    }
  }
}

void AlertPusher::TakeSilenceOrders() {
  std::vector<SilenceOrder> orders;
  {
    std::lock_guard<std::mutex> hold(mutex_);
    orders.swap(orders_);
  }
  for (SilenceOrder& order : orders) {
    if (order.create) {
      wantedSilences_[order.element] = order.body;
    } else {
      wantedSilences_.erase(order.element);
    }
    using Kind = AlertmanagerLink::Message::Kind;
    std::lock_guard<std::mutex> hold(mutex_);
    for (auto& link : links_) {
      link->Enqueue({order.create ? Kind::kCreateSilence : Kind::kDeleteSilence, order.body, order.element, false, 0});
    }
  }
}

void AlertPusher::LookAtAlarms(int64_t nowMs, int64_t wallMs) {
  std::vector<Alarm> alarms;
  // A source that cannot answer this time is asked again at the next pass.
  try {
    alarms = source_();
  } catch (OrlaException* e) {
    std::unique_ptr<OrlaException> owned(e);
    return;
  } catch (const std::exception&) {
    return;
  }
  std::vector<std::string> resolved;
  std::map<std::string, Sent> standing;
  bool changed = false;
  for (const Alarm& alarm : alarms) {
    if (!Standing(alarm)) continue;
    Sent now{alarm, LabelKey(alarm)};
    const auto before = sent_.find(alarm.id);
    if (before == sent_.end()) {
      changed = true;
    } else if (before->second.labels != now.labels) {
      changed = true;
      resolved.push_back(AlertPayload::AlertJson(before->second.alarm, wallMs));
    } else if (before->second.alarm.reason != alarm.reason) {
      changed = true;
    }
    standing.emplace(alarm.id, std::move(now));
  }
  for (const auto& [id, sent] : sent_) {
    if (standing.count(id) == 0) resolved.push_back(AlertPayload::AlertJson(sent.alarm, wallMs));
  }
  const bool resendDue = !resentOnce_ || nowMs - lastResendMs_ >= options_.resendMs;
  sent_ = std::move(standing);
  if (!changed && resolved.empty() && !(resendDue && !sent_.empty())) return;
  if (resendDue) {
    lastResendMs_ = nowMs;
    resentOnce_ = true;
  }
  std::vector<std::string> alerts = resolved;
  for (const auto& [id, sent] : sent_) alerts.push_back(AlertPayload::AlertJson(sent.alarm, wallMs + options_.resendMs * 4));
  const std::string body = AlertPayload::ArrayJson(alerts);
  std::lock_guard<std::mutex> hold(mutex_);
  for (auto& link : links_) {
    link->Enqueue({AlertmanagerLink::Message::Kind::kAlerts, body, "", !resolved.empty(), 0});
  }
}

}  // namespace orla
