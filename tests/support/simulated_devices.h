#pragma once
// The simulated tape controllers for a test (simulator/start.sh, simctl,
// stop.sh), and the devices/ folder of a program directory as the install
// lays it out (the built Fibre Alliance MIB plug-in, its type file, the type
// list).
#include <string>

namespace orla::test {

class SimulatedDevices {
 public:
  // `runDir` is the simulator's own folder (it may drop to "nobody" when
  // started by root, so the folders above must be enterable).
  explicit SimulatedDevices(std::string runDir) : runDir_(std::move(runDir)) {}
  ~SimulatedDevices() { Stop(); }
  SimulatedDevices(const SimulatedDevices&) = delete;
  SimulatedDevices& operator=(const SimulatedDevices&) = delete;

  // Starts the devices on UDP `port`, the first at loopback address `base`;
  // `only` names one device to run alone; `v3Users` names a --v3-users
  // file (the devices then answer SNMPv3). Returns the script's output,
  // with its exit status appended when it failed.
  std::string Start(int port, const std::string& base, const std::string& only = "",
                    const std::string& v3Users = "");
  // Starts `devices` devices spread over the loopback network `range`
  // (start.sh --range), the rest of it silent.
  std::string StartRange(int port, const std::string& range, int devices);
  // Runs simctl with `arguments`; its output (and failing exit status).
  std::string Simctl(const std::string& arguments);
  void Stop();

  const std::string& RunDir() const { return runDir_; }

 private:
  std::string runDir_;
  bool running_ = false;
};

// Fills `programDir`/devices with the built plug-in, its type file and the
// type list.
void InstallDevicesFolder(const std::string& programDir);

}  // namespace orla::test
