#include "agent/alarms/alert_pusher.h"

#include <algorithm>
#include <exception>
#include <memory>
#include <optional>
#include <set>
#include <utility>

#include "agent/alarms/alert_payload.h"
#include "agent/core/event_log.h"
#include "agent/core/orla_exception.h"
#include "platform/sync/clock.h"
#include "platform/text/json_reader.h"
#include "platform/text/json_value.h"
#include "platform/text/string_printf.h"
#include "platform/zepa/json_http_call.h"

namespace orla {

namespace {

// The labels of an alarm as one text, to see whether they changed.
std::string LabelKey(const Alarm& alarm) {
  std::string key;
  for (const auto& [name, value] : AlertPayload::LabelsOf(alarm)) key += name + "=" + value + "\n";
  return key;
}

bool Standing(const Alarm& alarm) { return alarm.state != Alarm::State::kCleared; }

// Whether an answer's status means "try again later".
bool Retryable(int status) { return status == 0 || status == 408 || status == 429 || status >= 500; }

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
}

void AlertPusher::Poke() { wake_.Set(); }

void AlertPusher::Silence(const std::string& element, int64_t startsMs, int64_t endsMs, const std::string& createdBy,
                          const std::string& comment) {
  {
    std::lock_guard<std::mutex> hold(mutex_);
    orders_.push_back({true, element, AlertPayload::SilenceJson(element, startsMs, endsMs, createdBy, comment)});
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
  return figures_;
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
    // Sleep until the next look, or the next retry when that comes first.
    int64_t waitMs = options_.checkMs;
    const int64_t now = SteadyMs();
    for (const Target& target : targets_) {
      if (!target.queue.empty()) waitMs = std::min(waitMs, std::max<int64_t>(target.retryAtMs - now, 1));
    }
    if (stopping_) break;
    clock_->WaitFor(wake_, std::chrono::milliseconds(waitMs));
  }
}

void AlertPusher::Pass() {
  ReloadConfig();
  TakeSilenceOrders();
  LookAtAlarms(SteadyMs(), clock_->WallMilliseconds());
  for (Target& target : targets_) {
    if (stopping_) break;
    Drain(target, SteadyMs());
  }
  Publish();
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
  // the standing alarms and the wanted silences at once.
  std::vector<Target> targets;
  for (const AlertingConfig::Alertmanager& am : config.Alertmanagers()) {
    auto old = std::find_if(targets_.begin(), targets_.end(),
                            [&am](const Target& target) { return target.config.url == am.url; });
    if (old != targets_.end()) {
      targets.push_back(std::move(*old));
      targets.back().config = am;
      continue;
    }
    Target target;
    target.config = am;
    target.figures.url = am.url;
    for (const auto& [element, body] : wantedSilences_) {
      target.queue.push_back({Message::Kind::kCreateSilence, body, element, false});
    }
    targets.push_back(std::move(target));
    resentOnce_ = false;  // the next look sends every standing alarm
  }
  targets_ = std::move(targets);
  std::lock_guard<std::mutex> hold(mutex_);
  config_ = config;
  configErrors_ = errors;
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
    for (Target& target : targets_) {
      Enqueue(target, {order.create ? Message::Kind::kCreateSilence : Message::Kind::kDeleteSilence, order.body,
                       order.element, false});
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
  for (Target& target : targets_) Enqueue(target, {Message::Kind::kAlerts, body, "", !resolved.empty()});
}

void AlertPusher::Enqueue(Target& target, Message message) {
  // A full send makes a queued one without resolutions redundant.
  if (message.kind == Message::Kind::kAlerts && target.queue.size() > 1) {
    Message& last = target.queue.back();
    if (last.kind == Message::Kind::kAlerts && !last.resolves) {
      last = std::move(message);
      return;
    }
  }
  target.queue.push_back(std::move(message));
  while (target.queue.size() > options_.queueLimit) {
    target.queue.pop_front();
    ++target.figures.dropped;
  }
}

void AlertPusher::Drain(Target& target, int64_t nowMs) {
  if (target.queue.empty() || nowMs < target.retryAtMs) return;
  while (!target.queue.empty() && !stopping_) {
    std::string error;
    bool refused = false;
    if (Send(target, target.queue.front(), &error, &refused)) {
      ++target.figures.sent;
      target.queue.pop_front();
      if (!target.figures.up) {
        target.figures.up = true;
        EventLog::Write(EventLog::kInfo, StringPrintf(kReachableFormat, target.config.url.c_str()));
      }
      target.backoffMs = 0;
      continue;
    }
    if (refused) {
      ++target.figures.rejected;
      target.queue.pop_front();
      continue;
    }
    ++target.figures.failures;
    if (target.figures.up) {
      target.figures.up = false;
      EventLog::Write(EventLog::kWarning,
                      StringPrintf(kUnreachableFormat, target.config.url.c_str(), error.c_str()));
    }
    target.backoffMs = target.backoffMs == 0 ? options_.retryMinMs
                                             : std::min(target.backoffMs * 2, options_.retryMaxMs);
    target.retryAtMs = SteadyMs() + target.backoffMs;
    return;
  }
}

bool AlertPusher::Send(Target& target, Message& message, std::string* error, bool* refused) {
  JsonHttpCall::Request request;
  request.caFile = target.config.caFile;
  request.timeoutSeconds = options_.timeoutSeconds;
  if (!target.config.bearerTokenFile.empty() &&
      !AlertingConfig::ReadSecret(target.config.bearerTokenFile, &request.bearerToken, error)) {
    return false;
  }
  if (!target.config.basicAuthFile.empty()) {
    std::string credentials;
    if (!AlertingConfig::ReadSecret(target.config.basicAuthFile, &credentials, error)) return false;
    const size_t colon = credentials.find(':');
    request.basicUser = credentials.substr(0, colon);
    if (colon != std::string::npos) request.basicPassword = credentials.substr(colon + 1);
  }
  auto call = [&](const std::string& method, const std::string& path, const std::string& body) {
    request.method = method;
    request.url = target.config.url + path;
    request.body = body;
    return JsonHttpCall::Call(request);
  };
  auto failed = [&](const JsonHttpCall::Answer& answer) {
    if (answer.status == 0) {
      *error = answer.error;
    } else {
      *error = StringPrintf("HTTP status %d", answer.status);
      *refused = !Retryable(answer.status);
    }
    return false;
  };

  switch (message.kind) {
    case Message::Kind::kAlerts: {
      const JsonHttpCall::Answer answer = call("POST", "/api/v2/alerts", message.body);
      return answer.Succeeded() || failed(answer);
    }
    case Message::Kind::kDeleteSilence:
    case Message::Kind::kCreateSilence: {
      // A window replaced or ended: its silence goes first. One already
      // gone (404) is as good as deleted.
      const auto known = target.silenceIds.find(message.element);
      if (known != target.silenceIds.end()) {
        const JsonHttpCall::Answer answer = call("DELETE", "/api/v2/silence/" + known->second, "");
        if (!answer.Succeeded() && answer.status != 404) return failed(answer);
        target.silenceIds.erase(known);
      }
      if (message.kind == Message::Kind::kDeleteSilence) return true;
      const JsonHttpCall::Answer answer = call("POST", "/api/v2/silences", message.body);
      if (!answer.Succeeded()) return failed(answer);
      JsonReader::Failure failure;
      const std::optional<JsonValue> document = JsonReader(JsonReader::Limits()).Read(answer.body, &failure);
      if (document && document->IsObject()) {
        const JsonValue* id = document->Find("silenceID");
        if (id != nullptr && id->IsString()) target.silenceIds[message.element] = id->StringValue();
      }
      return true;
    }
  }
  return true;
}

void AlertPusher::Publish() {
  std::vector<Figures> figures;
  for (Target& target : targets_) {
    target.figures.queued = target.queue.size();
    figures.push_back(target.figures);
  }
  std::lock_guard<std::mutex> hold(mutex_);
  figures_ = std::move(figures);
}

}  // namespace orla
