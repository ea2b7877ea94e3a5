// From a status change to the alert in Alertmanager: the agent's own path.
// An AlertPusher with the agent's default options (a look every 5 s)
// pushes to the Alertmanager named on the command line; each sample makes
// a new alarm the source reports, then tells the change the way the
// registry tells it (AlarmChangeRelay::NotifyStatusChange, which pokes the
// pusher), and asks the Alertmanager (GET /api/v2/alerts) until it holds
// the alert. Two figures per sample, from the change:
//   received  the alert's updatedAt, Alertmanager's own stamp of the POST
//             that brought it (same host, same wall clock);
//   seen      the end of the first GET that showed it (an upper bound).
// The alarm is cleared again (and its resolution delivered) before the next
// sample. The third argument picks a variant:
//   periodic  the relay left out: the alarm waits for the pusher's next
//             look, as it did before a change poked it;
//   silent    SILENT-URL listed first in alerting.conf: an Alertmanager
//             that takes connections and never answers (the script holds
//             such a port; each call to it waits for the 10 s timeout).
//
//   kor_alert_latency_bench ALERTMANAGER-URL [SAMPLES] [periodic | silent SILENT-URL]
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "agent/alarms/alarm.h"
#include "agent/alarms/alarm_change_relay.h"
#include "agent/alarms/alert_pusher.h"
#include "platform/text/json_reader.h"
#include "platform/text/json_value.h"
#include "platform/zepa/json_http_call.h"

namespace orla {
namespace {

int64_t WallMs() {
  return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::system_clock::now().time_since_epoch())
      .count();
}

// "2026-12-09T07:40:01.123Z" (or more fraction digits) in ms since 1970.
std::optional<int64_t> ParseIso(const std::string& text) {
  tm parts{};
  int seconds = 0;
  char fraction[16] = {};
  if (std::sscanf(text.c_str(), "%4d-%2d-%2dT%2d:%2d:%2d.%9[0-9]", &parts.tm_year, &parts.tm_mon, &parts.tm_mday,
                  &parts.tm_hour, &parts.tm_min, &seconds, fraction) < 6) {
    return std::nullopt;
  }
  parts.tm_year -= 1900;
  parts.tm_mon -= 1;
  parts.tm_sec = seconds;
  std::string ms = std::string(fraction) + "000";
  return static_cast<int64_t>(timegm(&parts)) * 1000 + std::atoi(ms.substr(0, 3).c_str());
}

// The updatedAt of the active alert of `element`, when Alertmanager holds one.
std::optional<int64_t> ReceivedAt(const std::string& url, const std::string& element) {
  JsonHttpCall::Request request;
  request.method = "GET";
  request.url = url + "/api/v2/alerts?active=true&filter=element%3D%22" + element + "%22";
  request.timeoutSeconds = 5;
  const JsonHttpCall::Answer answer = JsonHttpCall::Call(request);
  if (!answer.Succeeded()) return std::nullopt;
  JsonReader::Limits limits;
  limits.maxValues = answer.body.size() + 1;
  JsonReader::Failure failure;
  const std::optional<JsonValue> alerts = JsonReader(limits).Read(answer.body, &failure);
  if (!alerts || alerts->Items().empty()) return std::nullopt;
  const JsonValue* updated = alerts->Items()[0].Find("updatedAt");
  return updated != nullptr && updated->IsString() ? ParseIso(updated->StringValue()) : std::nullopt;
}

double Percentile(std::vector<int64_t> values, double share) {
  std::sort(values.begin(), values.end());
  const size_t at = std::min(values.size() - 1, static_cast<size_t>(share * static_cast<double>(values.size())));
  return static_cast<double>(values[at]);
}

int Run(const std::string& url, int samples, bool periodic, const std::string& silent) {
  const bool withSilent = !silent.empty();
  const std::string config = "/tmp/kor-alert-latency-" + std::to_string(getpid()) + ".conf";
  if (FILE* file = std::fopen(config.c_str(), "w")) {
    if (withSilent) std::fprintf(file, "alertmanager %s\n", silent.c_str());
    std::fprintf(file, "alertmanager %s\n", url.c_str());
    std::fclose(file);
  }
  std::mutex mutex;
  std::vector<Alarm> alarms;
  AlertPusher pusher(config, [&] {
    std::lock_guard<std::mutex> hold(mutex);
    return alarms;
  }, AlertPusher::Options());
  AlertPusher::SetInstance(&pusher);
  AlarmChangeRelay relay(nullptr);
  pusher.Start();
  // The real Alertmanager's queue is the last.
  auto settled = [&pusher] {
    const auto figures = pusher.Statistics();
    return !figures.empty() && figures.back().queued == 0;
  };
  while (!settled()) std::this_thread::sleep_for(std::chrono::milliseconds(1));

  std::vector<int64_t> received;
  std::vector<int64_t> seen;
  const std::string run = std::to_string(WallMs());
  for (int i = 0; i < samples; ++i) {
    Alarm alarm;
    alarm.element = "bench-" + run + "-" + std::to_string(i);
    alarm.address = "127.0.9.1";
    alarm.kind = Alarm::kStatus;
    alarm.id = Alarm::MakeId(alarm.element, alarm.kind, "");
    alarm.severity = 2;
    alarm.reason = "Drive 1 failed";
    const int64_t changed = WallMs();
    alarm.sinceMs = changed;
    {
      std::lock_guard<std::mutex> hold(mutex);
      alarms = {alarm};
    }
    StatusChange change;
    change.name = alarm.element;
    change.previous = 2;
    change.current = 4;
    if (!periodic) relay.NotifyStatusChange(change);
    std::optional<int64_t> at;
    // Asked every 2 ms, leaving the processor to the pusher in between.
    while (!(at = ReceivedAt(url, alarm.element))) std::this_thread::sleep_for(std::chrono::milliseconds(2));
    seen.push_back(WallMs() - changed);
    received.push_back(*at - changed);
    {
      std::lock_guard<std::mutex> hold(mutex);
      alarms.clear();
    }
    if (!periodic) relay.NotifyStatusChange(change);
    while (ReceivedAt(url, alarm.element)) std::this_thread::sleep_for(std::chrono::milliseconds(2));
  }
  pusher.Stop();
  AlertPusher::SetInstance(nullptr);
  std::remove(config.c_str());
  const double p99 = Percentile(received, 0.99);
  std::printf("%d samples, %s%s\n", samples, periodic ? "periodic look only (no poke)" : "status change pokes the pusher",
              withSilent ? ", a silent Alertmanager listed first" : "");
  std::printf("received (Alertmanager's updatedAt): p50 %.0f ms  p99 %.0f ms  max %.0f ms\n",
              Percentile(received, 0.5), p99, Percentile(received, 1.0));
  std::printf("seen (first GET showing it):         p50 %.0f ms  p99 %.0f ms  max %.0f ms\n",
              Percentile(seen, 0.5), Percentile(seen, 0.99), Percentile(seen, 1.0));
  std::printf("ratio p99 received / 1000 ms goal: %.3f\n", p99 / 1000.0);
  return 0;
}

}  // namespace
}  // namespace orla

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: %s ALERTMANAGER-URL [SAMPLES] [periodic | silent SILENT-URL]\n", argv[0]);
    return 2;
  }
  const int samples = argc > 2 ? std::max(1, std::atoi(argv[2])) : 200;
  const std::string mode = argc > 3 ? argv[3] : "";
  return orla::Run(argv[1], samples, mode == "periodic", mode == "silent" && argc > 4 ? argv[4] : "");
}
