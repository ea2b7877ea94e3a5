#pragma once
// The web server's note of a successful log-in ("The user NAME logged in to
// the web server from ADDRESS..."): the events of the kind "login". The
// page server tags the note as it logs it; the event-log file reader
// recovers the kind from the text of an older entry.
#include <string>

namespace orla {

class LoginEventText {
 public:
  // Whether an entry's text (behind its severity prefix) is such a note.
  static bool Matches(const std::string& text) {
    static const std::string kStart = "The user ";
    return text.compare(0, kStart.size(), kStart) == 0 &&
           text.find(" logged in to the web server from ") != std::string::npos;
  }
};

}  // namespace orla
