// The form field decoder of the web pages: WebPage::GetField over a posted
// body or a query string (what any browser, or anyone, can send), and the
// tokenizer NextToken behind it. The input is: one byte choosing body or
// query string, a field name up to the first zero byte, then the data.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "agent/web/web_page.h"
#include "fuzz/fuzz_file.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  orla::fuzz::FuzzFolder::Get();  // keeps any entry off the host's log
  if (size == 0) return 0;
  const bool posted = (data[0] & 1) != 0;
  const std::string rest(reinterpret_cast<const char*>(data + 1), size - 1);
  const size_t zero = rest.find('\0');
  const std::string name = zero == std::string::npos ? "element_name" : rest.substr(0, zero);
  const std::string fields = zero == std::string::npos ? rest : rest.substr(zero + 1);

  // As the library hands them over: the body followed by a zero byte, the
  // query string a C text.
  std::string method = posted ? "POST" : "GET";
  std::string query = posted ? std::string() : std::string(fields.c_str());
  std::vector<unsigned char> body;
  EXTENSION_CONTROL_BLOCK ecb{};
  ecb.cbSize = sizeof ecb;
  ecb.lpszMethod = method.data();
  ecb.lpszQueryString = query.data();
  if (posted) {
    body.assign(fields.begin(), fields.end());
    body.push_back(0);
    ecb.lpbData = body.data();
    ecb.cbTotalBytes = ecb.cbAvailable = static_cast<uint32_t>(fields.size());
  }
  orla::WebPage page(&ecb);
  page.GetField(name.c_str());
  for (const char* known : {"element_name", "element_address", "remove", "client_address", "x"}) {
    page.GetField(known);
  }
  for (const char* token = page.NextToken(fields.c_str(), "&="); token != nullptr;
       token = page.NextToken(nullptr, "&=")) {
  }
  return 0;
}
