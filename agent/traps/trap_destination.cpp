#include "agent/traps/trap_destination.h"

#include <cerrno>
#include <new>

#include "agent/core/error_codes.h"
#include "agent/core/orla_exception.h"

namespace orla {

TrapDestination::TrapDestination(const char* text) {
  try {
    text_.assign(text != nullptr ? text : "");
  } catch (const std::bad_alloc&) {
    throw new OrlaException(kErrMemory, ENOMEM, kMsgMemoryShort);
  }
}

}  // namespace orla
