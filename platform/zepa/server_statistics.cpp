#include "server_statistics.h"

#include "platform/text/ascii_case.h"
#include "library_pages.h"
#include "web_text.h"

namespace orla {

void ServerStatistics::Count(const HttpTransport::Request& request, const HttpTransport::Response& response) {
  const int hundreds = response.status >= 100 && response.status < 600 ? response.status / 100 : 0;
  responses_[static_cast<size_t>(hundreds)].fetch_add(1, std::memory_order_relaxed);
  if ((response.status == 401 || response.status == 429) && request.method == "POST" &&
      AsciiCase::Equal(request.path, LibraryPages::kLoginPath)) {
    failedLogins_.fetch_add(1, std::memory_order_relaxed);
  }
}

uint64_t ServerStatistics::Responses(int hundreds) const {
  return hundreds >= 1 && hundreds <= 5 ? responses_[static_cast<size_t>(hundreds)].load(std::memory_order_relaxed)
                                        : responses_[0].load(std::memory_order_relaxed);
}

}  // namespace orla
