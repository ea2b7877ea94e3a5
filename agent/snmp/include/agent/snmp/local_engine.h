#pragma once
// The agent's own SNMP engine: its engine ID (made once, RFC 3411 format
// under the agent's enterprise number 4413) and its boots, kept in
// "snmpengine.ini" in the agent directory:
//
//   engineID 0x8000113d05...
//   engineBoots 12
//
// At every start the agent adds one to the boots, rewrites the file
// (atomically) and hands both to the SNMP library before any SNMPv3
// session opens, so a receiver configured with `createUser -e <engine ID>`
// keeps knowing the agent's SNMPv3 traps across restarts, and sees its
// boots grow. The korsnmpv3 tool reads the file, and makes it when the
// agent has not started yet.
#include <cstdint>
#include <string>
#include <vector>

namespace orla {

class LocalEngine {
 public:
  static constexpr uint32_t kEnterprise = 4413;
  static constexpr uint32_t kMaxBoots = 2147483647u;

  std::vector<uint8_t> id;
  uint32_t boots = 0;

  // The ID as "0x" and lower-case hex digits (what createUser -e takes).
  std::string HexId() const;
  std::string Format() const;
  // False, with *error naming the line, for text that is not the file's.
  static bool Parse(const std::string& text, LocalEngine* engine, std::string* error);
  // Reads the file; false with *error when it is missing, unreadable or
  // not valid (*missing tells the first apart).
  static bool Read(const std::string& path, LocalEngine* engine, bool* missing, std::string* error);

  // Before the agent's first start (korsnmpv3 engine): reads the file, or
  // makes a new ID with boots 0 and writes it, so the ID can be given to
  // receivers before the agent runs; the agent then keeps it. *made tells
  // a new one. False with *error when the file is not valid or cannot be
  // written.
  static bool ReadOrMake(const std::string& path, LocalEngine* engine, bool* made, std::string* error);

  // The start of the agent: reads the file (or makes a new ID with boots 0
  // when there is none), adds one to the boots (they stay at the largest
  // value once there), writes the file and sets the library's engine.
  // A file that cannot be read as an engine file is kept beside as
  // "snmpengine.ini.bad" and a new ID is made (WARNING: receivers need it).
  // False, with *error, when the file cannot be written or the library
  // refuses the engine; the library then keeps an engine of its own for
  // this run.
  static bool Start(const std::string& path, LocalEngine* engine, std::string* error);
};

}  // namespace orla
