#pragma once
// MetricsReport: the text of "/KOR/metrics", everything the agent already
// knows in the Prometheus text format (MetricSheet). Nothing here asks a
// device or waits for the registry lock: the elements come from the
// registry's directory (their live statuses), the counts from the polling,
// trap and web server statistics, the process figures from /proc.
//
// Metrics (every name starts with "koragent_"):
//   element_status{element,address,model}  the status as last polled: 0 ok,
//       1 degraded, 2 failed, 3 unknown (also any other answer of the
//       plug-in), -1 not read yet. Only this series carries the model (the
//       device's description text, often long): the others have element and
//       address, to keep a scrape of 1,000 elements small and quick.
//   element_answered{element,address}  1 when the device answered
//       during the last poll
//   element_last_answer_timestamp_seconds{...}  when the device last
//       answered a poll (absent while it never has)
//   element_status_change_timestamp_seconds{...}  when the status last
//       changed (before the first poll: when the element was added)
//   element_traps_received_total{element,address}
//   port_<kind>_total{element,address,port}, drive_<kind>{element,address,
//       drive}, device_<kind>{element,address}: the counters and wear facts
//       of the element's latest samples (DeviceCounterKind names the kinds;
//       counters end in _total and carry the device's raw value)
//   elements, overall_status (0 good, 1 degraded or unknown, 2 failed: the
//       kor.xml object status)
//   poll_duration_seconds, status_pass_duration_seconds (histograms),
//   poll_failures_total, status_pass_failures_total
//   traps_received_total (datagrams read), traps_dropped_total{reason}
//       (source_share, queue_full, socket_buffer, too_many_bindings: the
//       count the event log reports; truncated, malformed: not a trap),
//       traps_handled_total,
//   traps_sent_total{destination}, trap_send_failures_total{destination}
//   http_responses_total{status_class}, login_failures_total, web_sessions
//   repeated_warnings_total{kind}, repeated_warnings_summarised_total{kind}
//       (kinds refused_credentials, failed_logins, traps,
//       malformed_datagrams: every occurrence, and those only summarised)
//   alertmanager_up, alertmanager_queue_length, alertmanager_sent_total,
//       alertmanager_send_failures_total, alertmanager_rejected_total,
//       alertmanager_dropped_total, each {alertmanager} (the URL), while
//       the alarms are pushed (AlertPusher)
//   process_resident_memory_bytes, process_cpu_seconds_total,
//   process_open_fds, process_max_fds, process_threads,
//   process_start_time_seconds, build_info{version}
#include <string>
#include <vector>

#include "agent/devices/element_snapshot.h"
#include "platform/zepa/zepa.h"

namespace orla {

class MetricsReport {
 public:
  // `elements` null: no registry (no element metrics); `overallStatus` the
  // registry's '0', '1' or '2'. `web` null: no web server counts.
  static std::string Render(const std::vector<ElementView>* elements, char overallStatus,
                            const ZEPA_SERVER_STATISTICS* web);
};

}  // namespace orla
