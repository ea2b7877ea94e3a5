#pragma once
// AgentObjects: the process-wide element registry and trap destination list
// as the dialog pages reach them. The agent's start-up creates both before
// the web interface starts; a page served without them (a web server run on
// its own, as in some tests) gets OrlaException 3 "No object with that name
// exists." instead of a null pointer, which its error handling or the
// request procedure turns into an answer.
namespace orla {

class ElementRegistry;
class TrapDestinationList;

class AgentObjects {
 public:
  static ElementRegistry& Registry();
  static TrapDestinationList& TrapDestinations();
};

}  // namespace orla
