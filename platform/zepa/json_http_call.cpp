#include "platform/zepa/json_http_call.h"

#include "client/http_client.h"
#include "client_url.h"

namespace orla {

namespace {

std::string Base64(const std::string& bytes) {
  static const char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
  std::string out;
  out.reserve((bytes.size() + 2) / 3 * 4);
  for (size_t i = 0; i < bytes.size(); i += 3) {
    const size_t left = bytes.size() - i;
    uint32_t group = static_cast<uint32_t>(static_cast<unsigned char>(bytes[i])) << 16;
    if (left > 1) group |= static_cast<uint32_t>(static_cast<unsigned char>(bytes[i + 1])) << 8;
    if (left > 2) group |= static_cast<uint32_t>(static_cast<unsigned char>(bytes[i + 2]));
    out += kAlphabet[(group >> 18) & 63];
    out += kAlphabet[(group >> 12) & 63];
    out += left > 1 ? kAlphabet[(group >> 6) & 63] : '=';
    out += left > 2 ? kAlphabet[group & 63] : '=';
  }
  return out;
}

}  // namespace

std::string JsonHttpCall::BasicCredentials(const std::string& user, const std::string& password) {
  return Base64(user + ":" + password);
}

JsonHttpCall::Answer JsonHttpCall::Call(const Request& request) {
  Answer answer;
  HttpClient::FetchRequest fetch;
  if (!ClientUrl::Parse(request.url, &fetch.url)) {
    answer.error = "not a URL: " + request.url;
    return answer;
  }
  fetch.method = request.method;
  fetch.headers.push_back({"Accept", "application/json"});
  if (!request.bearerToken.empty()) {
    fetch.headers.push_back({"Authorization", "Bearer " + request.bearerToken});
  } else if (!request.basicUser.empty() || !request.basicPassword.empty()) {
    fetch.headers.push_back({"Authorization", "Basic " + BasicCredentials(request.basicUser, request.basicPassword)});
  }
  fetch.body = request.body;
  if (!request.body.empty()) fetch.contentType = "application/json";
  fetch.trustFile = request.caFile;
  const int timeout = request.timeoutSeconds > 0 ? request.timeoutSeconds : 10;
  fetch.connectTimeoutSeconds = timeout;
  fetch.readTimeoutSeconds = timeout;
  fetch.totalTimeoutSeconds = timeout;
  fetch.maxResponseBytes = request.maxAnswerBytes;
  fetch.abort = request.abort;
  const HttpClient::FetchResult result = HttpClient::Fetch(fetch, [&answer](const char* data, size_t size) {
    answer.body.append(data, size);
    return true;
  });
  if (!result.responded) {
    answer.error = result.error.empty() ? "no answer" : result.error;
    return answer;
  }
  answer.status = result.status;
  return answer;
}

}  // namespace orla
