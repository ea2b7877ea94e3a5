#pragma once
// The agent's one exception type. It is allocated with new and thrown as a
// pointer; the handler that ends the handling owns it at once. Catch and
// Discard are that handler:
//   if (auto failed = OrlaException::Catch([&] { ... })) Show(failed->Message());
//   OrlaException::Discard([&] { ... });  // logged where it arose; go on
// Constructing one writes its message to the event log at the severity its
// code selects, so a failure is logged once, where it arises.
#include <cstdint>
#include <memory>
#include <string>
#include <utility>

#include "agent/core/root_object.h"

namespace orla {

class OrlaException : public RootObject {
 public:
  // `osError` is the system error number behind the failure, 0 for none.
  OrlaException(int32_t code, uint32_t osError, const std::string& message);
  // The same for a failure the system describes by a text instead of a
  // number (the dynamic loader's): the text stands first in the message, on
  // a line of its own, where a system error text would; the event-log entry
  // holds only `message` and carries the text as its raw data.
  OrlaException(int32_t code, const std::string& systemText, const std::string& message);
  ~OrlaException() override = default;

  int32_t Code() const { return code_; }
  uint32_t OsError() const { return osError_; }
  const std::string& Message() const { return message_; }

  // Runs `work`; the OrlaException it throws, owned (null when it threw
  // none). Other exceptions pass on.
  template <typename Work>
  static std::unique_ptr<OrlaException> Catch(Work&& work) {
    try {
      std::forward<Work>(work)();
    } catch (OrlaException* e) {
      return std::unique_ptr<OrlaException>(e);
    }
    return nullptr;
  }
  // Runs `work` and drops the OrlaException it throws, which has written its
  // own event-log entry; true when it threw none.
  template <typename Work>
  static bool Discard(Work&& work) {
    return Catch(std::forward<Work>(work)) == nullptr;
  }

  // The severity a code is logged at: -1 (not logged) for codes up to 1000,
  // then INFO, WARNING (2001-3000) and CRITICAL (above 3000).
  static int SeverityOf(int32_t code);

  // While one lives on a thread, exceptions constructed on that thread are
  // not written to the event log: the code that holds it reports the
  // failure itself, in words that name what failed (an element retried in
  // the background must not log the same failure at every retry).
  class Quiet {
   public:
    Quiet();
    ~Quiet();
    Quiet(const Quiet&) = delete;
    Quiet& operator=(const Quiet&) = delete;

   private:
    bool previous_;
  };

 private:
  int32_t code_;
  uint32_t osError_;
  std::string message_;
};

}  // namespace orla
