#include "platform/metrics/metric_sheet.h"

#include <prometheus/client_metric.h>
#include <prometheus/metric_family.h>
#include <prometheus/text_serializer.h>

#include <limits>
#include <ostream>
#include <streambuf>
#include <utility>

#include "platform/text/utf8.h"

namespace orla {

struct MetricSheet::Families {
  std::vector<prometheus::MetricFamily> list;
};

namespace {

prometheus::MetricType TypeOf(MetricSheet::Type type) {
  switch (type) {
    case MetricSheet::Type::kCounter:
      return prometheus::MetricType::Counter;
    case MetricSheet::Type::kGauge:
      return prometheus::MetricType::Gauge;
    case MetricSheet::Type::kHistogram:
      return prometheus::MetricType::Histogram;
  }
  return prometheus::MetricType::Untyped;
}

// The serializer writes the page a few bytes at a time: straight into one
// string, grown ahead, rather than through a string stream's buffer.
class StringBuffer : public std::streambuf {
 public:
  explicit StringBuffer(size_t expected) { text_.reserve(expected); }
  std::string Take() { return std::move(text_); }

 protected:
  int_type overflow(int_type c) override {
    if (c != traits_type::eof()) text_.push_back(static_cast<char>(c));
    return traits_type::not_eof(c);
  }
  std::streamsize xsputn(const char* s, std::streamsize n) override {
    text_.append(s, static_cast<size_t>(n));
    return n;
  }

 private:
  std::string text_;
};

prometheus::ClientMetric MetricWith(const MetricSheet::Labels& labels) {
  prometheus::ClientMetric metric;
  metric.label.reserve(labels.size());
  for (const auto& [name, value] : labels) metric.label.push_back({name, MetricSheet::ValidUtf8(value)});
  return metric;
}

}  // namespace

MetricSheet::MetricSheet() : families_(std::make_unique<Families>()) {}

MetricSheet::~MetricSheet() = default;

std::string MetricSheet::ValidUtf8(const std::string& text) {
  // Most texts are plain ASCII: returned as they are.
  bool plain = true;
  for (unsigned char c : text) {
    if (c == 0 || c >= 0x80) {
      plain = false;
      break;
    }
  }
  if (plain) return text;
  std::string out;
  out.reserve(text.size() + 8);
  for (size_t i = 0; i < text.size();) {
    const size_t length = text[i] == '\0' ? 0 : Utf8::SequenceLength(text, i);
    if (length == 0) {
      out += "\xef\xbf\xbd";
      ++i;
    } else {
      out.append(text, i, length);
      i += length;
    }
  }
  return out;
}

size_t MetricSheet::AddFamily(const std::string& name, const std::string& help, Type type) {
  prometheus::MetricFamily family;
  family.name = name;
  family.help = ValidUtf8(help);
  family.type = TypeOf(type);
  families_->list.push_back(std::move(family));
  return families_->list.size() - 1;
}

void MetricSheet::Add(size_t family, const Labels& labels, double value) {
  prometheus::MetricFamily& target = families_->list.at(family);
  prometheus::ClientMetric metric = MetricWith(labels);
  if (target.type == prometheus::MetricType::Counter) {
    metric.counter.value = value;
  } else {
    metric.gauge.value = value;
  }
  target.metric.push_back(std::move(metric));
}

void MetricSheet::AddHistogram(size_t family, const Labels& labels, const std::vector<double>& upperBounds,
                               const std::vector<uint64_t>& cumulative, uint64_t count, double sum) {
  prometheus::MetricFamily& target = families_->list.at(family);
  prometheus::ClientMetric metric = MetricWith(labels);
  metric.histogram.sample_count = count;
  metric.histogram.sample_sum = sum;
  for (size_t i = 0; i < upperBounds.size() && i < cumulative.size(); ++i) {
    metric.histogram.bucket.push_back({cumulative[i], upperBounds[i]});
  }
  metric.histogram.bucket.push_back({count, std::numeric_limits<double>::infinity()});
  target.metric.push_back(std::move(metric));
}

std::string MetricSheet::Render() const {
  size_t samples = 0;
  for (const prometheus::MetricFamily& family : families_->list) samples += family.metric.size();
  StringBuffer buffer(samples * 96 + 4096);
  std::ostream out(&buffer);
  prometheus::TextSerializer().Serialize(out, families_->list);
  return buffer.Take();
}

}  // namespace orla
