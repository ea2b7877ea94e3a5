// Alerting: how alerting.conf is read (one table of files and what they
// give, errors with their line numbers), the labels an alarm carries to
// Alertmanager (one table), and the page's description without secrets.
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "agent/alarms/alert_payload.h"
#include "agent/alarms/alerting_config.h"

namespace orla {
namespace {

std::string Joined(const std::vector<std::string>& lines) {
  std::string text;
  for (const std::string& line : lines) text += line + "|";
  return text;
}

TEST(AlertingConfigTest, ReadsTheFile) {
  const struct {
    const char* text;
    const char* described;  // Describe(), joined by "|"
    const char* errors;     // joined by "|"
  } cases[] = {
      {"", "", ""},
      {"# none yet\n\n", "", ""},
      {"alertmanager http://127.0.0.1:9093/\n", "http://127.0.0.1:9093|", ""},
      {"alertmanager https://am1:9093\r\nbearer-token-file /etc/kor/token\nca-file /etc/kor/ca.pem\n"
       "alertmanager http://am2:9093\nbasic-auth-file /etc/kor/am2\n",
       "https://am1:9093 (bearer token from /etc/kor/token, CA file /etc/kor/ca.pem)|"
       "http://am2:9093 (basic authentication from /etc/kor/am2)|",
       ""},
      {"bearer-token-file /t\nalertmanager http://a\n", "http://a|",
       "line 1: bearer-token-file must follow an alertmanager line|"},
      {"alertmanager ftp://a\nca-file /c\nalertmanager http://b\n", "http://b|",
       "line 1: \"ftp://a\" is not an http or https URL|"},
      {"alertmanager\nalertmanager http://a extra\n", "",
       "line 1: expected \"alertmanager URL\"|line 2: expected \"alertmanager URL\"|"},
      {"alertmanager http://a\nalertmanager http://a/\n", "http://a|", "line 2: http://a is named twice|"},
      {"alertmanager http://a\nca-file /1\nca-file /2\n", "http://a (CA file /1)|",
       "line 3: ca-file is given twice for http://a|"},
      {"alertmanager http://a\nbearer-token-file /t\nbasic-auth-file /b\n", "http://a (bearer token from /t)|",
       "line 3: an Alertmanager takes a bearer token or basic authentication, not both|"},
      {"alertmanager http://a\nreceiver mail\n", "http://a|", "line 2: unknown setting \"receiver\"|"},
  };
  for (const auto& c : cases) {
    std::vector<std::string> errors;
    const AlertingConfig config = AlertingConfig::Parse(c.text, &errors);
    EXPECT_EQ(Joined(config.Describe()), c.described) << c.text;
    EXPECT_EQ(Joined(errors), c.errors) << c.text;
  }
}

Alarm Sample(const std::string& part, Alarm::State state, int severity) {
  Alarm alarm;
  alarm.element = "lib1";
  alarm.address = "127.0.9.1";
  alarm.kind = "status";
  alarm.part = part;
  alarm.severity = severity;
  alarm.state = state;
  alarm.reason = "Drive 3 needs \"cleaning\"";
  alarm.sinceMs = 1000;
  return alarm;
}

TEST(AlertPayloadTest, LabelsOfAnAlarm) {
  using State = Alarm::State;
  const char* const base = "alertname=KORElementAlarm,element=lib1,address=127.0.9.1,";
  const struct {
    Alarm alarm;
    const char* rest;
  } cases[] = {
      {Sample("", State::kRaised, 2), "severity=critical,kind=status,"},
      {Sample("", State::kAcknowledged, 1), "severity=warning,kind=status,acknowledged=true,"},
      {Sample("drive:3:tapealert:20", State::kRaised, 0),
       "severity=info,kind=status,part=drive:3:tapealert:20,drive=3,"},
      {Sample("fan", State::kCleared, 1), "severity=warning,kind=status,part=fan,"},
      {Sample("9x-y:1", State::kRaised, 1), "severity=warning,kind=status,part=9x-y:1,_x_y=1,"},
  };
  for (const auto& c : cases) {
    std::string labels;
    for (const auto& [name, value] : AlertPayload::LabelsOf(c.alarm)) labels += name + "=" + value + ",";
    EXPECT_EQ(labels, std::string(base) + c.rest) << c.alarm.part;
  }
  // The reason travels escaped in the annotations, ending when told.
  EXPECT_EQ(AlertPayload::AlertJson(Sample("", State::kRaised, 2), 61000),
            "{\"labels\":{\"alertname\":\"KORElementAlarm\",\"element\":\"lib1\",\"address\":\"127.0.9.1\","
            "\"severity\":\"critical\",\"kind\":\"status\"},\"annotations\":{\"summary\":\"lib1 (127.0.9.1): "
            "Drive 3 needs \\\"cleaning\\\"\",\"description\":\"Drive 3 needs \\\"cleaning\\\" (since "
            "1970-01-01T00:00:01.000Z)\"},\"startsAt\":\"1970-01-01T00:00:01.000Z\","
            "\"endsAt\":\"1970-01-01T00:01:01.000Z\"}");
}

}  // namespace
}  // namespace orla
