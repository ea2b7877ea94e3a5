#include "platform/zepa/https_fetch.h"

#include "client/http_client.h"
#include "client_url.h"
#include "data_directory.h"

namespace orla {

HttpsFetch::Answer HttpsFetch::Fetch(const Request& request) {
  Answer answer;
  HttpClient::FetchRequest fetch;
  if (!ClientUrl::Parse(request.url, &fetch.url)) {
    answer.error = "not a URL: " + request.url;
    return answer;
  }
  fetch.method = request.method;
  for (const auto& header : request.headers) fetch.headers.push_back(header);
  fetch.body = request.body;
  fetch.contentType = request.contentType;
  fetch.trustFile = request.trustFile;
  fetch.verifyHost = request.verifyHost;
  fetch.maxResponseBytes = request.maxAnswerBytes;
  const HttpClient::FetchResult result = HttpClient::Fetch(fetch, [&answer](const char* data, size_t size) {
    answer.body.append(data, size);
    return true;
  });
  if (!result.responded) {
    answer.error = "no answer from " + request.url + (result.error.empty() ? "" : ": " + result.error);
    return answer;
  }
  answer.status = result.status;
  return answer;
}

std::string HttpsFetch::CertificateFile(const std::string& dataDirectory) {
  return dataDirectory + "/" + DataDirectory::kCertificateFileName;
}

}  // namespace orla
