#pragma once
// DeviceSweep: one pass of a discovery run over a list of addresses. Every
// address is asked for its name (sysName) with each credential the agent
// may use for it: the SNMPv3 profile assigned to it (or the default
// profile) when there is one, otherwise the distinct get communities of the
// type files in devices/supported.txt; an address the agent runs SNMPv3
// only for and no profile covers is not asked. An address that answers is
// recognised through the installed plug-ins exactly as an add would
// (Recognizer), and its identity texts (model, world wide name) read from
// the recognising type's plug-in. Nothing is added to the registry.
//
// Addresses are asked side by side, up to `width` at once, so silent ones
// wait out their time-outs together; every datagram the sweep sends (each
// try, recognition's requests included) first takes a slot of one
// RequestBucket at `rate` per second. Setting the stop event ends the sweep
// early: no further datagram is sent and the threads return.
//
// The same device found at several addresses (same world wide name) is one
// result with all its addresses. Recognition's failures write no event;
// they become the result's note.
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "platform/sync/clock.h"
#include "platform/sync/manual_reset_event.h"

namespace orla {

class DeviceSweep {
 public:
  struct Options {
    int rate = 50;           // requests per second
    int timeoutMs = 5000;    // one try, as an add's session has it
    int retries = 4;
    size_t width = 256;      // addresses asked at once, at most
    Clock* clock = nullptr;  // the system's when null
  };
  // Counts the sweep raises as it goes; readable from any thread.
  struct Progress {
    std::atomic<size_t> asked{0};       // addresses done asking
    std::atomic<size_t> answered{0};    // of which answered
    std::atomic<size_t> recognised{0};  // of which a type claimed
    std::atomic<uint64_t> sent{0};      // datagrams sent (bucket slots)
    std::atomic<uint64_t> peakPerSecond{0};
  };
  // One device that answered.
  struct Found {
    std::vector<std::string> addresses;
    std::string typeName;       // empty when no type claimed it
    std::string model;          // the plug-in's description
    std::string worldWideName;  // empty when it gave none
    std::string firmware;
    std::string sysName;        // the device's own name, may be empty
    std::string credential;     // the profile's name, or "community from <type>.cfg"
    std::string note;           // why it is not recognised ("Not recognised", ...); empty when it is
  };

  static constexpr const char* kSysName = "1.3.6.1.2.1.1.5.0";
  static constexpr const char* kCommunityFrom = "community from %s.cfg";

  DeviceSweep(const Options& options, ManualResetEvent& stop) : options_(options), stop_(stop) {}

  // Asks every address; the devices found, in address order.
  std::vector<Found> Run(const std::vector<std::string>& addresses, Progress* progress);
  // One row per device: a row whose world wide name (not empty) and type
  // an earlier row has adds its address to that row. Order kept.
  static std::vector<Found> Merge(std::vector<Found> found);

 private:
  struct Credential {
    std::string label;
    std::string community;
  };
  // The communities of the installed types, each once, labelled by the
  // first type that names it.
  static std::vector<Credential> TypeCommunities();
  // Asks one address; true with *found filled when it answered.
  bool Ask(const std::string& address, const std::vector<Credential>& communities, Found* found);
  // Recognises the device at found->addresses[0] and reads its identity.
  static void Recognise(Found* found);

  const Options options_;
  ManualResetEvent& stop_;
};

}  // namespace orla
