#pragma once
// PluginCall: how the device layer calls into a plug-in. An OrlaException
// the plug-in raises passes unchanged; running out of memory inside the call
// (the plug-in's own allocations or its SNMP requests') is 3001, not a fault
// of the plug-in; anything else a plug-in lets out is a fault of that
// plug-in, reported as 3006.
#include <cerrno>
#include <new>

#include "agent/core/error_codes.h"
#include "agent/core/orla_exception.h"

namespace orla {

class PluginCall {
 public:
  template <typename Function, typename... Args>
  static auto Run(Function function, Args... args) {
    try {
      return function(args...);
    } catch (OrlaException*) {
      throw;
    } catch (const std::bad_alloc&) {
      throw new OrlaException(kErrMemory, ENOMEM, kMsgMemory);
    } catch (...) {
      throw new OrlaException(kErrDllFunction, 0, kMsgDllFunction);
    }
  }
};

}  // namespace orla
