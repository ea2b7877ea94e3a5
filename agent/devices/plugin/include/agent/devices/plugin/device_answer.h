#pragma once
// How a device plug-in's exported functions turn a request's failure into the
// contract's answers. Every failed request throws an OrlaException that has
// logged itself where it arose; what differs is only whether the device
// answered at all. A device that does not answer (a time-out, a
// communication failure) lets the exception pass out, so that binding fails
// and the element is retried; a device that answered but lacks what was
// asked gives the function's "no" answer.
#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>
#include <utility>

#include "agent/core/error_codes.h"
#include "agent/core/orla_exception.h"
#include "agent/devices/plugin/device_plugin.h"

namespace orla::plugin {

class DeviceAnswer {
 public:
  // A time-out or a communication failure: the device did not answer.
  static bool Unreachable(int32_t code) { return code == kErrTimeout || code == kErrCommunication; }

  // read(); `no` when the device answered with a failure; the exception of a
  // device that did not answer passes out.
  template <typename T, typename Read>
  static T OrNo(T no, Read&& read) {
    T result = no;
    if (std::unique_ptr<OrlaException> failed = OrlaException::Catch([&] { result = std::forward<Read>(read)(); })) {
      if (Unreachable(failed->Code())) throw failed.release();
      return no;
    }
    return result;
  }

  // The answer of RecognizeDevice: recognize(); a device that did not answer
  // gives its failure's code, any other failure kNotThisType.
  template <typename Recognize>
  static int32_t Recognition(Recognize&& recognize) {
    int32_t result = kNotThisType;
    if (std::unique_ptr<OrlaException> failed =
            OrlaException::Catch([&] { result = std::forward<Recognize>(recognize)(); })) {
      return Unreachable(failed->Code()) ? failed->Code() : kNotThisType;
    }
    return result;
  }

  // read(); `fallback` on any failure (the status of a device that does not
  // answer, too, is an answer: unknown).
  template <typename T, typename Read>
  static T Or(T fallback, Read&& read) {
    T result = fallback;
    if (OrlaException::Discard([&] { result = std::forward<Read>(read)(); })) return result;
    return fallback;
  }

  // An identity text into the caller's buffer of kDeviceTextSize bytes: 1,
  // or 0 when the text is empty.
  static uint8_t PutText(const std::string& text, char* buffer) {
    if (text.empty()) return 0;
    std::snprintf(buffer, kDeviceTextSize, "%s", text.c_str());
    return 1;
  }
};

}  // namespace orla::plugin
