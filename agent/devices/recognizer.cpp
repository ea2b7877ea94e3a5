#include "recognizer.h"

#include <cerrno>
#include <memory>
#include <new>
#include <vector>

#include "agent/core/error_codes.h"
#include "agent/core/orla_exception.h"
#include "agent/devices/plugin/device_plugin.h"
#include "agent/snmp/snmp_session.h"
#include "device_type_file.h"
#include "element.h"
#include "platform/library/dynamic_library.h"
#include "plugin_call.h"

namespace orla {

std::string Recognizer::Recognize(const std::string& address) try {
  std::vector<std::string> types;
  int error = DeviceTypeFile::ReadTypeList(Element::DevicesPath("supported.txt"), &types);
  if (error != 0) throw new OrlaException(kErrFileSystem, static_cast<uint32_t>(error), kMsgFileSystem);

  for (const std::string& type : types) {
    DeviceTypeFile typeFile;
    error = typeFile.Read(Element::DevicesPath(type + ".cfg"));
    if (error != 0) throw new OrlaException(kErrFileSystem, static_cast<uint32_t>(error), kMsgFileSystem);
    const std::string* library = typeFile.Find("dllname");
    const std::string* community = typeFile.Find("snmpgetname");
    if (library == nullptr || community == nullptr) continue;

    std::unique_ptr<SnmpSession> session;
    if (std::unique_ptr<OrlaException> failed = OrlaException::Catch([&] {
      session = std::make_unique<SnmpSession>(address.c_str(), community->c_str());
      session->Open();
    })) {
      continue;
    }

    std::string loaderError;
    std::unique_ptr<DynamicLibrary> plugin = DynamicLibrary::Open(Element::DevicesPath(*library), &loaderError);
    void* function = plugin != nullptr ? plugin->Symbol(plugin::kRecognizeDevice, &loaderError) : nullptr;
    if (function == nullptr) {
      plugin.reset();
      throw new OrlaException(kErrDllFunction, loaderError, kMsgDllFunction);
    }

    int32_t answer = -1;
    const uint64_t securityFailures = SnmpSession::SecurityFailuresOnThisThread();
    if (std::unique_ptr<OrlaException> failed = OrlaException::Catch([&] {
      answer = PluginCall::Run(reinterpret_cast<plugin::RecognizeDeviceFunction>(function), session.get());
    })) {
      // A plug-in that lets the request's own error out instead of
      // answering with it: no answer is no answer.
      if (failed->Code() != kErrCommunication && failed->Code() != kErrTimeout &&
          failed->Code() != kErrSnmpSecurity) {
        throw failed.release();
      }
      answer = failed->Code();
    }
    // Binding loads the library again for good.
    plugin.reset();
    // A device that refused the SNMPv3 credentials is not "not this type":
    // no type can be told without them.
    if (SnmpSession::SecurityFailuresOnThisThread() != securityFailures) {
      // The session's own exception has said it already.
      OrlaException::Quiet quiet;
      throw new OrlaException(kErrSnmpSecurity, 0, SnmpSession::LastSecurityFailureOnThisThread());
    }

    if (answer == kErrCommunication || answer == kErrTimeout) {
      throw new OrlaException(kErrNoResponse, 0, kMsgNoResponse);
    }
    if (answer == plugin::kNotThisType) continue;
    return type;
  }
  throw new OrlaException(kErrUnsupported, 0, kMsgUnsupported);
} catch (const std::bad_alloc&) {
  // A session, a type list or a text that cannot be allocated.
  throw new OrlaException(kErrMemory, ENOMEM, kMsgMemory);
}

}  // namespace orla
