#pragma once
// The contents of KORAgent.cfg: five lines.
//   1  free text, kept
//   2  the agent directory (where the agent's own files live)
//   3  free text, kept
//   4  the system information label, copied to sysinfo.agt
//   5  an SNMP enterprise identifier written ".1.3.6.1.4.1..."
// Each line holds at most 79 characters.
#include <cstdint>
#include <istream>
#include <string>
#include <vector>

#include "agent/core/root_object.h"

namespace orla {

class AgentConfiguration : public RootObject {
 public:
  static constexpr int kLineCount = 5;
  static constexpr size_t kMaxLineLength = 79;

  // Reads the five lines from `in`. `fileName` names the file in the event
  // texts. Returns false after writing a CRITICAL event when the contents are
  // not a valid configuration: a missing line, a line longer than 79
  // characters, or an enterprise line whose numbers are missing or reduce to
  // 0. The object is left unchanged then.
  bool Parse(std::istream& in, const std::string& fileName);

  // Turns an enterprise line into its byte array: byte 0 holds n, the number
  // of "." in the line; bytes 1 to n the first n non-empty dot-separated
  // fields, each as a decimal number reduced to its low 8 bits. Returns false
  // (and leaves *bytes empty) when fewer than n fields are present or a field
  // reduces to 0. Writes no event.
  static bool ParseEnterprise(const std::string& line, std::vector<uint8_t>* bytes);

  const std::string& Line1() const { return line1_; }
  const std::string& AgentDirectory() const { return agentDirectory_; }
  const std::string& Line3() const { return line3_; }
  const std::string& SystemLabel() const { return systemLabel_; }
  const std::vector<uint8_t>& Enterprise() const { return enterprise_; }

 private:
  std::string line1_;
  std::string agentDirectory_;
  std::string line3_;
  std::string systemLabel_;
  std::vector<uint8_t> enterprise_;
};

}  // namespace orla
