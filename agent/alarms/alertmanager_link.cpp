#include "alertmanager_link.h"

#include <algorithm>
#include <chrono>
#include <optional>
#include <utility>
#include <vector>

#include "agent/alarms/alert_payload.h"
#include "agent/core/event_log.h"
#include "platform/sync/clock.h"
#include "platform/text/json_reader.h"
#include "platform/text/json_value.h"
#include "platform/text/string_printf.h"

namespace orla {

namespace {

// How long an idle thread sleeps when nothing wakes it.
constexpr int64_t kIdleMs = 60 * 1000;
// How long the listing of the silences may be: Alertmanager keeps expired
// ones for days (about 500 bytes each).
constexpr size_t kListBytes = 16u << 20;

// Whether an answer's status means "try again later".
bool Retryable(int status) { return status == 0 || status == 408 || status == 429 || status >= 500; }

std::optional<JsonValue> ReadJson(const std::string& text, size_t maxValues) {
  JsonReader::Limits limits;
  limits.maxValues = maxValues;
  JsonReader::Failure failure;
  return JsonReader(limits).Read(text, &failure);
}

std::string StringMember(const JsonValue& object, const char* name) {
  const JsonValue* member = object.IsObject() ? object.Find(name) : nullptr;
  return member != nullptr && member->IsString() ? member->StringValue() : std::string();
}

// A silence of the listing that this agent made and that is in force
// (active or pending): its id, the element it silences, its end.
struct Listed {
  std::string id;
  std::string element;
  std::string endsAt;
};

// None when the silence is not one of ours in force.
std::optional<Listed> OursInForce(const JsonValue& silence, const std::string& mark) {
  const JsonValue* status = silence.IsObject() ? silence.Find("status") : nullptr;
  const std::string state = status != nullptr ? StringMember(*status, "state") : "";
  if (state != "active" && state != "pending") return std::nullopt;
  const std::string comment = StringMember(silence, "comment");
  if (comment.size() < mark.size() || comment.compare(comment.size() - mark.size(), mark.size(), mark) != 0) {
    return std::nullopt;
  }
  const JsonValue* matchers = silence.Find("matchers");
  if (matchers == nullptr || matchers->Items().size() != 1) return std::nullopt;
  const JsonValue& matcher = matchers->Items()[0];
  const JsonValue* isRegex = matcher.Find("isRegex");
  const JsonValue* isEqual = matcher.Find("isEqual");
  if (StringMember(matcher, "name") != "element" || (isRegex != nullptr && isRegex->BoolValue()) ||
      (isEqual != nullptr && !isEqual->BoolValue())) {
    return std::nullopt;
  }
  return Listed{StringMember(silence, "id"), StringMember(matcher, "value"), StringMember(silence, "endsAt")};
}

}  // namespace

AlertmanagerLink::AlertmanagerLink(AlertingConfig::Alertmanager config, AlertPusher::Options options,
                                   const std::map<std::string, std::string>& silences, Clock* clock)
    : url_(config.url), options_(options), clock_(Clock::Or(clock)), config_(std::move(config)) {
  figures_.url = url_;
  PushLocked({Message::Kind::kListSilences, "", "", false, 0});
  for (const auto& [element, body] : silences) PushLocked({Message::Kind::kCreateSilence, body, element, false, 0});
}

AlertmanagerLink::~AlertmanagerLink() {
  AskToStop();
  Join();
}

void AlertmanagerLink::Start() {
  if (thread_.joinable()) return;
  thread_ = std::thread([this] {
    Run();
    finished_ = true;
  });
}

void AlertmanagerLink::AskToStop() {
  stopping_ = true;
  wake_.Set();
}

void AlertmanagerLink::Join() {
  if (thread_.joinable()) thread_.join();
}

void AlertmanagerLink::Reconfigure(const AlertingConfig::Alertmanager& config) {
  {
    std::lock_guard<std::mutex> hold(mutex_);
    config_ = config;
    const bool listing = std::any_of(queue_.begin(), queue_.end(),
                                     [](const Message& m) { return m.kind == Message::Kind::kListSilences; });
    if (!listing) PushLocked({Message::Kind::kListSilences, "", "", false, 0});
  }
  wake_.Set();
}

void AlertmanagerLink::Enqueue(Message message) {
  {
    std::lock_guard<std::mutex> hold(mutex_);
    PushLocked(std::move(message));
  }
  wake_.Set();
}

void AlertmanagerLink::PushLocked(Message message) {
  if (message.kind == Message::Kind::kCreateSilence) wanted_[message.element] = message.body;
  if (message.kind == Message::Kind::kDeleteSilence) wanted_.erase(message.element);
  message.number = nextNumber_++;
  // A full send makes a queued one without resolutions redundant (never
  // the head, which may be under way).
  if (message.kind == Message::Kind::kAlerts && queue_.size() > 1) {
    Message& last = queue_.back();
    if (last.kind == Message::Kind::kAlerts && !last.resolves) {
      last = std::move(message);
      return;
    }
  }
  queue_.push_back(std::move(message));
  while (queue_.size() > options_.queueLimit) {
    queue_.pop_front();
    ++figures_.dropped;
  }
}

AlertPusher::Figures AlertmanagerLink::Snapshot() const {
  std::lock_guard<std::mutex> hold(mutex_);
  AlertPusher::Figures figures = figures_;
  figures.queued = queue_.size();
  return figures;
}

AlertmanagerLink::Result AlertmanagerLink::FailureOf(const JsonHttpCall::Answer& answer, std::string* error) {
  if (answer.status == 0) {
    *error = answer.error;
    return Result::kFailed;
  }
  *error = StringPrintf("HTTP status %d", answer.status);
  return Retryable(answer.status) ? Result::kFailed : Result::kRefused;
}

int64_t AlertmanagerLink::SteadyMs() const {
  return std::chrono::duration_cast<std::chrono::milliseconds>(clock_->SteadyNow().time_since_epoch()).count();
}

void AlertmanagerLink::Run() {
  while (!stopping_) {
    wake_.Reset();
    Message message;
    AlertingConfig::Alertmanager config;
    int64_t waitMs = kIdleMs;
    {
      std::lock_guard<std::mutex> hold(mutex_);
      if (!queue_.empty()) {
        const int64_t now = SteadyMs();
        if (now >= retryAtMs_) {
          message = queue_.front();
          config = config_;
          waitMs = 0;
        } else {
          waitMs = retryAtMs_ - now;
        }
      }
    }
    if (waitMs > 0) {
      clock_->WaitFor(wake_, std::chrono::milliseconds(waitMs));
      continue;
    }
    std::string error;
    const Result result = Send(config, message, &error);
    // A call abandoned for the stop counts for nothing.
    if (stopping_) break;
    std::string event;
    int severity = EventLog::kInfo;
    {
      std::lock_guard<std::mutex> hold(mutex_);
      // The head may have been dropped from a full queue meanwhile.
      const bool head = !queue_.empty() && queue_.front().number == message.number;
      if (result != Result::kFailed) {
        if (head) queue_.pop_front();
        backoffMs_ = 0;
        if (result == Result::kTaken) ++figures_.sent;
        if (result == Result::kRefused) ++figures_.rejected;
        if (result != Result::kRefused && !figures_.up) {
          figures_.up = true;
          event = StringPrintf(AlertPusher::kReachableFormat, url_.c_str());
        }
      } else {
        ++figures_.failures;
        if (figures_.up) {
          figures_.up = false;
          severity = EventLog::kWarning;
          event = StringPrintf(AlertPusher::kUnreachableFormat, url_.c_str(), error.c_str());
        }
        backoffMs_ = backoffMs_ == 0 ? options_.retryMinMs : std::min(backoffMs_ * 2, options_.retryMaxMs);
        retryAtMs_ = SteadyMs() + backoffMs_;
      }
    }
    if (!event.empty()) EventLog::Write(severity, event);
  }
}

AlertmanagerLink::Result AlertmanagerLink::Send(const AlertingConfig::Alertmanager& config, const Message& message,
                                                std::string* error) {
  JsonHttpCall::Request request;
  request.caFile = config.caFile;
  request.timeoutSeconds = options_.timeoutSeconds;
  request.abort = &stopping_;
  if (!config.bearerTokenFile.empty() && !AlertingConfig::ReadSecret(config.bearerTokenFile, &request.bearerToken, error)) {
    return Result::kFailed;
  }
  if (!config.basicAuthFile.empty()) {
    std::string credentials;
    if (!AlertingConfig::ReadSecret(config.basicAuthFile, &credentials, error)) return Result::kFailed;
    const size_t colon = credentials.find(':');
    request.basicUser = credentials.substr(0, colon);
    if (colon != std::string::npos) request.basicPassword = credentials.substr(colon + 1);
  }
  auto call = [&](const std::string& method, const std::string& path) {
    request.method = method;
    request.url = config.url + path;
    request.body = method == "POST" ? message.body : std::string();
    return JsonHttpCall::Call(request);
  };
  auto failed = [error](const JsonHttpCall::Answer& answer) { return FailureOf(answer, error); };
  // Ends the silence held for `element`; one already gone (404) is as good
  // as ended.
  auto expire = [&](const std::string& id) {
    const JsonHttpCall::Answer answer = call("DELETE", "/api/v2/silence/" + id);
    return answer.Succeeded() || answer.status == 404 ? Result::kTaken : failed(answer);
  };

  switch (message.kind) {
    case Message::Kind::kAlerts: {
      const JsonHttpCall::Answer answer = call("POST", "/api/v2/alerts");
      return answer.Succeeded() ? Result::kTaken : failed(answer);
    }
    case Message::Kind::kListSilences: {
      request.maxAnswerBytes = kListBytes;
      const JsonHttpCall::Answer listing = call("GET", "/api/v2/silences");
      request.maxAnswerBytes = JsonHttpCall::Request().maxAnswerBytes;
      return ListSilences(listing, error, call);
    }
    case Message::Kind::kDeleteSilence:
    case Message::Kind::kCreateSilence: {
      // The silence held already ends as asked (adopted from the listing).
      if (message.kind == Message::Kind::kCreateSilence && held_.count(message.element) != 0 &&
          held_[message.element] == message.body) {
        return Result::kNothingToDo;
      }
      // A window replaced or ended: its silence goes first.
      const auto known = silenceIds_.find(message.element);
      if (known != silenceIds_.end()) {
        const Result expired = expire(known->second);
        if (expired != Result::kTaken) return expired;
        silenceIds_.erase(known);
        held_.erase(message.element);
      }
      if (message.kind == Message::Kind::kDeleteSilence) return Result::kTaken;
      const JsonHttpCall::Answer answer = call("POST", "/api/v2/silences");
      if (!answer.Succeeded()) return failed(answer);
      const std::optional<JsonValue> document = ReadJson(answer.body, JsonReader::Limits().maxValues);
      const std::string id = document ? StringMember(*document, "silenceID") : "";
      if (!id.empty()) {
        silenceIds_[message.element] = id;
        held_[message.element] = message.body;
      }
      return Result::kTaken;
    }
  }
  return Result::kTaken;
}

AlertmanagerLink::Result AlertmanagerLink::ListSilences(
    const JsonHttpCall::Answer& answer, std::string* error,
    const std::function<JsonHttpCall::Answer(const std::string&, const std::string&)>& call) {
  if (!answer.Succeeded()) return FailureOf(answer, error);
  // A listing that cannot be read leaves the silences as they are.
  const std::optional<JsonValue> listing = ReadJson(answer.body, answer.body.size());
  if (!listing || listing->GetKind() != JsonValue::Kind::kArray) return Result::kRefused;
  std::map<std::string, std::string> wanted;
  {
    std::lock_guard<std::mutex> hold(mutex_);
    wanted = wanted_;
  }
  const std::string mark = AlertPayload::SilenceMark(options_.signature);
  std::map<std::string, std::vector<Listed>> ours;
  for (const JsonValue& silence : listing->Items()) {
    if (std::optional<Listed> listed = OursInForce(silence, mark); listed && !listed->id.empty()) {
      ours[listed->element].push_back(std::move(*listed));
    }
  }
  // What no longer stands in the Alertmanager is no longer held.
  for (auto it = silenceIds_.begin(); it != silenceIds_.end();) {
    const auto listed = ours.find(it->first);
    const bool present =
        listed != ours.end() && std::any_of(listed->second.begin(), listed->second.end(),
                                            [&it](const Listed& l) { return l.id == it->second; });
    if (present) {
      ++it;
    } else {
      held_.erase(it->first);
      it = silenceIds_.erase(it);
    }
  }
  for (const auto& [element, listed] : ours) {
    std::string keep;
    const auto window = wanted.find(element);
    if (window != wanted.end()) {
      const auto current = silenceIds_.find(element);
      if (current != silenceIds_.end()) {
        keep = current->second;
      } else {
        const std::optional<JsonValue> body = ReadJson(window->second, JsonReader::Limits().maxValues);
        const std::string endsAt = body ? StringMember(*body, "endsAt") : "";
        for (const Listed& l : listed) {
          if (!endsAt.empty() && l.endsAt == endsAt) {
            keep = l.id;
            silenceIds_[element] = keep;
            held_[element] = window->second;
            break;
          }
        }
      }
    }
    for (const Listed& l : listed) {
      if (l.id == keep) continue;
      // One already gone (404) or refused is left; one not answered is
      // tried again with the whole listing.
      const JsonHttpCall::Answer expired = call("DELETE", "/api/v2/silence/" + l.id);
      if (!expired.Succeeded() && expired.status != 404 && FailureOf(expired, error) == Result::kFailed) {
        return Result::kFailed;
      }
      const auto held = silenceIds_.find(element);
      if (held != silenceIds_.end() && held->second == l.id) {
        silenceIds_.erase(held);
        held_.erase(element);
      }
    }
  }
  return Result::kTaken;
}

}  // namespace orla
