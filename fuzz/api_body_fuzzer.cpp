// The JSON API's reader of request bodies (JsonReader): any bytes a caller
// can post (the reader's default limits; the router's are tighter).
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

#include "platform/text/json_reader.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), size);
  orla::JsonReader::Failure failure;
  const std::optional<orla::JsonValue> value = orla::JsonReader(orla::JsonReader::Limits{}).Read(text, &failure);
  // A failure always says what is wrong.
  if (!value && failure.text.empty()) __builtin_trap();
  return 0;
}
