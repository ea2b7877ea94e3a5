// Must not compile: the web pages see only the web server library's zepa.h.
#include "platform/zepa/zepa_server.h"
