#pragma once
// AgentObjects: the process-wide element registry and trap destination list
// as every page reaches them (no page asks the registry for its instance). The agent's start-up creates both before
// the web interface starts; a page served without them (a web server run on
// its own, as in some tests) gets OrlaException 3 "No object with that name
// exists." instead of a null pointer, which its error handling or the
// request procedure turns into an answer. The web server the pages run in is
// here too, for the pages that ask the library about it (its statistics, its
// client requests).
#include <cstdint>
#include <string>

namespace orla {

class AlarmBook;
class ChangeFeed;
class ElementRegistry;
class TrapDestinationList;
class NotificationSender;

class AgentObjects {
 public:
  static ElementRegistry& Registry();
  // The registry, or null for a page that does without one (a summary, a
  // count, a document that reports no elements then).
  static ElementRegistry* FindRegistry();
  static TrapDestinationList& TrapDestinations();
  // The SNMPv2c/SNMPv3 notification sender (its target file).
  static NotificationSender& Notifications();

  // The feed of the tools' changes the events pages take in first; null
  // while no page server has started (the pages then do without it). Set
  // by the page server as it starts; it lives as long as the process.
  static ChangeFeed* Changes();
  static void SetChangeFeed(ChangeFeed* changes);

  // The alarms' book; null while no page server has started. Set by the
  // page server as it starts; it lives as long as the process.
  static AlarmBook* Alarms();
  static void SetAlarmBook(AlarmBook* alarms);

  // The web server library's handle of the server the pages run in; 0 while
  // none runs. Set by the page server as it starts and stops the server.
  static uint32_t WebServer();
  // Sets the handle and answers the one it replaces.
  static uint32_t SetWebServer(uint32_t handle);
  // The web server's data directory (its users and user tokens); empty while
  // no page server has started. Set by the page server as it starts.
  static std::string WebDataDirectory();
  static void SetWebDataDirectory(const std::string& path);
};

}  // namespace orla
