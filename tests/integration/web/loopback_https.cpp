#include "tests/integration/web/loopback_https.h"

#include <cstdio>
#include <cstdlib>

#include "platform/text/string_printf.h"
#include "tests/support/file_text.h"
#include "tests/support/shell_command.h"

namespace orla::test {

HttpsReply LoopbackHttps::Request(const std::string& path, const std::string& extra) const {
  const std::string headers = scratchDir + "/headers.txt";
  const std::string body = scratchDir + "/body.txt";
  std::remove(headers.c_str());
  std::remove(body.c_str());
  const std::string code = CommandOutput(
      StringPrintf("curl -sS -k --max-time 30 -D '%s' -o '%s' -w '%%{http_code}' %s 'https://%s:%d%s'",
                   headers.c_str(), body.c_str(), extra.c_str(), host.c_str(), port, path.c_str()));
  return {std::atoi(code.c_str()), ReadFile(headers), ReadFile(body)};
}

std::string LoopbackHttps::OriginHeader() const { return StringPrintf("-H 'Origin: https://%s:%d'", host.c_str(), port); }

int LoopbackHttps::LogIn(const std::string& user, const std::string& password, const std::string& jar) const {
  return Request("/zepa/login", StringPrintf("-c '%s' %s --data-urlencode user=%s --data-urlencode 'password=%s' "
                                             "--data-urlencode return=/KOR/",
                                             jar.c_str(), OriginHeader().c_str(), user.c_str(), password.c_str()))
      .status;
}

}  // namespace orla::test
