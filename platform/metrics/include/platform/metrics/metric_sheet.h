#pragma once
// One scrape's worth of metrics: families (a name, a help text, a type) and
// their samples, each with its labels, rendered in the Prometheus text
// exposition format (version 0.0.4) by prometheus-cpp's text serializer.
//
// Label values and help texts may hold anything (device texts come from the
// network): the serializer escapes backslashes, double quotes and line
// breaks, and the sheet replaces what the format cannot carry (bytes that
// are not UTF-8, zero bytes) by U+FFFD, so every page parses.
//
// A sheet is filled and rendered by one thread; it is not shared.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <utility>
#include <vector>

namespace orla {

class MetricSheet {
 public:
  using Labels = std::vector<std::pair<std::string, std::string>>;
  enum class Type { kCounter, kGauge, kHistogram };

  // The content type of the rendered page.
  static constexpr const char* kContentType = "text/plain; version=0.0.4; charset=utf-8";

  MetricSheet();
  ~MetricSheet();
  MetricSheet(const MetricSheet&) = delete;
  MetricSheet& operator=(const MetricSheet&) = delete;

  // Starts a family and returns its number for the calls below. A family
  // without samples is rendered with its help and type only.
  size_t AddFamily(const std::string& name, const std::string& help, Type type);
  // A counter's or gauge's sample.
  void Add(size_t family, const Labels& labels, double value);
  // A histogram's sample: `upperBounds` ascending, `cumulative[i]` the
  // observations at or below upperBounds[i]; the "+Inf" bucket (`count`) is
  // added here.
  void AddHistogram(size_t family, const Labels& labels, const std::vector<double>& upperBounds,
                    const std::vector<uint64_t>& cumulative, uint64_t count, double sum);

  std::string Render() const;

  // `text` as valid UTF-8: each byte that starts no valid sequence, and
  // each zero byte, becomes U+FFFD.
  static std::string ValidUtf8(const std::string& text);

 private:
  struct Families;
  std::unique_ptr<Families> families_;
};

}  // namespace orla
