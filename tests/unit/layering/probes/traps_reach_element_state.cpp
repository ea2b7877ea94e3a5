// Must not compile: the element's polling state is the device layer's own.
#include "agent/devices/element_state.h"
