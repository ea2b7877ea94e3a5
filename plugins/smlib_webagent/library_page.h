#pragma once
// The library device page: the library (identity, status and its reason,
// trap destinations), its frames, the drive table, the changers, the
// storage locations by type with the cleaning cartridges, the
// import/export ports and the FC ports, in one page, since one read of the
// library serves them all. Frame and look are every device page's
// (DevicePage); each component's status has the agent's status image of
// its roll-up class beside the MIB's word for it. Every device text is
// HTML-escaped.
#include <cstdint>
#include <string>

#include "library_device_reader.h"
#include "plugins/webagent_kit/device_page.h"

namespace orla {

class LibraryPage : public DevicePage {
 public:
  using Library = LibraryDeviceReader::Library;
  using DevicePage::DevicePage;

  std::string Overview(const Library& library) const;

  // The MIB's enumerations as words; the number for a value it does not
  // name, "" for none read (-1).
  static std::string DriveTypeText(int32_t value);
  static std::string PackageTypeText(int32_t value);
  static std::string LocationTypeText(int32_t value);
  static std::string TriStateText(int32_t value);  // unknown(0) true(1) false(2): "yes", "no"
  static std::string SecurityText(int32_t value);

 private:
  // An OperationalStatus, or an Availability, with the status image of its class.
  static std::string OperationalCell(int32_t value);
  static std::string AvailabilityCell(int32_t value);
  std::string LibrarySection(const Library& library) const;
  static std::string DriveSection(const Library& library);
  static std::string ChangerSection(const Library& library);
  static std::string SlotSection(const Library& library);
  // The import/export ports and the FC ports.
  static std::string PortSections(const Library& library);
};

}  // namespace orla
