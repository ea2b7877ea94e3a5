// Must not compile: the SNMP layer offers its API headers, not its receiver.
#include "platform/snmpmgr/trap_receiver.h"
