// The device type files: devices/supported.txt and devices/<type>.cfg.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "agent/devices/device_type_file.h"
#include "fuzz/fuzz_file.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string path = orla::fuzz::FuzzFolder::Get().Write("type.cfg", data, size);
  std::vector<std::string> types;
  orla::DeviceTypeFile::ReadTypeList(path, &types);
  orla::DeviceTypeFile typeFile;
  typeFile.Read(path);
  for (const char* key : {"dllname", "snmpgetname", "snmpsetname", "embeddedhomepage", "homepageurl"}) {
    typeFile.Find(key);
  }
  return 0;
}
