#pragma once
// The parts of a library that its traps name, by the names its device page
// uses: drives by number and serial number (a trap carries a drive's
// device ID, often its WWN), changers by number. Read with the status at
// every poll and kept per library address, so a trap (which comes without
// a session) is described without asking the device. Thread-safe.
#include <cstdint>
#include <map>
#include <string>

namespace orla {

class SmlLibrary;

class SmlParts {
 public:
  // Reads the drive and changer tables' identities; a column the library
  // does not answer leaves its part out.
  static SmlParts Read(SmlLibrary& library);
  // Keeps `parts` as the library's at `address`; Known answers them (none
  // before the first poll).
  static void Keep(const std::string& address, const SmlParts& parts);
  static SmlParts Known(const std::string& address);
  // Whether the parts at `address` should be read (anew): never read, or
  // read more than kFreshSeconds ago.
  static constexpr int kFreshSeconds = 600;
  static bool Due(const std::string& address);

  // "drive 3 (serial 10450003)", "drive 3" without a serial number.
  std::string Drive(uint32_t index) const;
  // The drive or changer number whose device ID is `id` (blanks ignored); 0
  // when none is known.
  uint32_t DriveWithId(const std::string& id) const;
  uint32_t ChangerWithId(const std::string& id) const;

  std::map<uint32_t, std::string> serials;     // drive number -> serial number
  std::map<std::string, uint32_t> driveIds;    // device ID -> drive number
  std::map<std::string, uint32_t> changerIds;  // device ID -> changer number
};

}  // namespace orla
