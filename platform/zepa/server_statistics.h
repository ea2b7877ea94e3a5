#pragma once
// Running counts of one server for the metrics page: the answers it gave by
// status class (1xx to 5xx, anything else as 0) and the failed logins
// through the login form (answered 401, or 429 while the address is
// blocked). Thread-safe, lock-free.
#include <array>
#include <atomic>
#include <cstdint>

#include "transport/http_transport.h"

namespace orla {

class ServerStatistics {
 public:
  void Count(const HttpTransport::Request& request, const HttpTransport::Response& response);

  // Answers of class `hundreds` (1 to 5; 0 any other status).
  uint64_t Responses(int hundreds) const;
  uint64_t FailedLogins() const { return failedLogins_.load(std::memory_order_relaxed); }

 private:
  std::array<std::atomic<uint64_t>, 6> responses_{};
  std::atomic<uint64_t> failedLogins_{0};
};

}  // namespace orla
