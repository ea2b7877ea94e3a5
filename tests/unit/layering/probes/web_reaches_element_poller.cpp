// Must not compile: the polling thread stays inside the device layer.
#include "agent/devices/element_poller.h"
