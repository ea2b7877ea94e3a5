#pragma once
// A scripted SNMPv1 peer on 127.0.0.1 for answers no simulator gives: it
// answers every request with a fixed error status (the request's bindings
// echoed, error index 1), or stays silent and only counts what arrives.
#include <atomic>
#include <cstdint>
#include <thread>

#include "tests/support/free_port.h"

namespace orla::test {

class ScriptedResponder {
 public:
  static constexpr int kSilent = -1;

  explicit ScriptedResponder(int errorStatus);
  ~ScriptedResponder();
  ScriptedResponder(const ScriptedResponder&) = delete;
  ScriptedResponder& operator=(const ScriptedResponder&) = delete;

  // 0 when no port could be bound.
  int Port() const { return socket_.Port(); }
  // Datagrams received so far.
  int Received() const { return received_.load(); }

 private:
  void Run();

  int errorStatus_;
  BoundUdpSocket socket_;
  std::atomic<int> received_{0};
  std::atomic<bool> stop_{false};
  std::thread thread_;
};

}  // namespace orla::test
