#pragma once
// What the agent reports about its host: computer name, processor type and
// operating-system version, read with gethostname and uname.
#include <string>

namespace orla {

class SystemInfo {
 public:
  // The host name; empty when it cannot be read.
  static std::string ComputerName();

  // The processor type number the agent's file formats use for this
  // architecture: 8664 for x86-64, 386/486/586 for 32-bit x86, 2200 for
  // IA-64, 0 for any other.
  static int ProcessorType();
  // The same for a machine name as uname(2) reports it ("x86_64").
  static int ProcessorTypeOf(const std::string& machine);

  // The operating system's name as uname(2) reports it ("Linux").
  static std::string OsName();
  // The kernel release split into its first two numbers ("6.1.0-18" gives 6
  // and 1). Missing numbers are 0.
  static void OsVersion(int* major, int* minor);
  // The first three numbers of a kernel release ("6.1.76-..." gives 6, 1 and
  // 76; `patch` may be null). Missing numbers are 0; a number too long for
  // an int stops growing.
  static void ParseRelease(const std::string& release, int* major, int* minor, int* patch = nullptr);
  // The kernel release ("6.1.0-18-amd64") and build text ("#1 SMP ...") as
  // uname(2) reports them; false when uname fails.
  static bool OsRelease(std::string* release, std::string* build);
};

}  // namespace orla
