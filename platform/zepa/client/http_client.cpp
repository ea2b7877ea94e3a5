// The only translation unit that includes libcurl.
#include "platform/text/ascii_case.h"
#include "http_client.h"

#include <curl/curl.h>

#include <cerrno>
#include <cstring>
#include <mutex>

#include "platform/text/string_printf.h"

namespace orla {

namespace {

void GlobalInit() {
  static std::once_flag once;
  std::call_once(once, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
}

struct Transfer {
  const HttpClient::FetchRequest* request = nullptr;
  const std::function<bool(const char*, size_t)>* sink = nullptr;
  HttpClient::FetchResult* result = nullptr;
  uint64_t received = 0;
  bool tooLarge = false;
  bool sinkRefused = false;
  std::string location;
  std::string cacheControl;
};

size_t OnHeader(char* data, size_t size, size_t count, void* user) {
  auto* transfer = static_cast<Transfer*>(user);
  const size_t n = size * count;
  std::string line(data, n);
  while (!line.empty() && (line.back() == '\n' || line.back() == '\r')) line.pop_back();
  if (line.rfind("HTTP/", 0) == 0) {
    transfer->location.clear();  // a new (possibly interim) response
    transfer->cacheControl.clear();
  } else {
    const size_t colon = line.find(':');
    if (colon != std::string::npos) {
      size_t start = colon + 1;
      while (start < line.size() && (line[start] == ' ' || line[start] == '\t')) ++start;
      const std::string name = line.substr(0, colon);
      if (AsciiCase::Equal(name, "Location")) transfer->location = line.substr(start);
      if (AsciiCase::Equal(name, "Cache-Control")) transfer->cacheControl = line.substr(start);
    }
  }
  return n;
}

size_t OnBody(char* data, size_t size, size_t count, void* user) {
  auto* transfer = static_cast<Transfer*>(user);
  const size_t n = size * count;
  transfer->received += n;
  if (transfer->received > transfer->request->maxResponseBytes) {
    transfer->tooLarge = true;
    return 0;  // aborts the transfer
  }
  if (!(*transfer->sink)(data, n)) {
    transfer->sinkRefused = true;
    return 0;
  }
  return n;
}

int OnProgress(void* user, curl_off_t, curl_off_t, curl_off_t, curl_off_t) {
  auto* transfer = static_cast<Transfer*>(user);
  const std::atomic<bool>* abort = transfer->request->abort;
  return abort != nullptr && abort->load() ? 1 : 0;
}

}  // namespace

HttpClient::FetchResult HttpClient::Fetch(const FetchRequest& request,
                                          const std::function<bool(const char*, size_t)>& sink) {
  GlobalInit();
  FetchResult result;
  CURL* curl = curl_easy_init();
  if (curl == nullptr) {
    result.error = "cannot make a client handle";
    return result;
  }
  Transfer transfer;
  transfer.request = &request;
  transfer.sink = &sink;
  transfer.result = &result;

  const std::string url = request.url.Origin() + request.url.target;
  curl_easy_setopt(curl, CURLOPT_URL, url.c_str());
  curl_easy_setopt(curl, CURLOPT_PROTOCOLS_STR, "http,https");
  curl_easy_setopt(curl, CURLOPT_PATH_AS_IS, 1L);
  curl_easy_setopt(curl, CURLOPT_NOSIGNAL, 1L);
  curl_easy_setopt(curl, CURLOPT_FOLLOWLOCATION, 0L);
  // Straight to the device: libcurl would otherwise take a proxy from the
  // process environment (http_proxy, https_proxy, ALL_PROXY), which the
  // storage network's devices are never behind.
  curl_easy_setopt(curl, CURLOPT_PROXY, "");
  curl_easy_setopt(curl, CURLOPT_FORBID_REUSE, 1L);
  curl_easy_setopt(curl, CURLOPT_CONNECTTIMEOUT, static_cast<long>(request.connectTimeoutSeconds));
  curl_easy_setopt(curl, CURLOPT_TIMEOUT, static_cast<long>(request.totalTimeoutSeconds));
  curl_easy_setopt(curl, CURLOPT_LOW_SPEED_LIMIT, 1L);
  curl_easy_setopt(curl, CURLOPT_LOW_SPEED_TIME, static_cast<long>(request.readTimeoutSeconds));
  curl_easy_setopt(curl, CURLOPT_MAXFILESIZE_LARGE, static_cast<curl_off_t>(request.maxResponseBytes));
  curl_easy_setopt(curl, CURLOPT_SSL_VERIFYPEER, 1L);
  curl_easy_setopt(curl, CURLOPT_SSL_VERIFYHOST, request.verifyHost ? 2L : 0L);
  curl_easy_setopt(curl, CURLOPT_SSLVERSION, static_cast<long>(CURL_SSLVERSION_TLSv1_2));
  if (!request.trustFile.empty()) {
    // The named bundle alone: the library's default folder of certificates
    // would be read in full for every request.
    curl_easy_setopt(curl, CURLOPT_CAINFO, request.trustFile.c_str());
    curl_easy_setopt(curl, CURLOPT_CAPATH, nullptr);
  }
  curl_easy_setopt(curl, CURLOPT_HEADERFUNCTION, &OnHeader);
  curl_easy_setopt(curl, CURLOPT_HEADERDATA, &transfer);
  curl_easy_setopt(curl, CURLOPT_WRITEFUNCTION, &OnBody);
  curl_easy_setopt(curl, CURLOPT_WRITEDATA, &transfer);
  curl_easy_setopt(curl, CURLOPT_XFERINFOFUNCTION, &OnProgress);
  curl_easy_setopt(curl, CURLOPT_XFERINFODATA, &transfer);
  curl_easy_setopt(curl, CURLOPT_NOPROGRESS, 0L);

  struct curl_slist* headers = nullptr;
  bool hasAgent = false;
  for (const auto& [name, value] : request.headers) {
    if (AsciiCase::Equal(name, "User-Agent")) hasAgent = true;
    headers = curl_slist_append(headers, (name + ": " + value).c_str());
  }
  if (!hasAgent) headers = curl_slist_append(headers, "User-Agent: ZEPA-client/1.0");
  // The body is small and sent at once, without waiting for "100 Continue".
  headers = curl_slist_append(headers, "Expect:");
  const bool withBody = !request.body.empty() || request.method == "POST";
  if (withBody) {
    const std::string type = "Content-Type: " + (request.contentType.empty()
                                                     ? std::string("application/x-www-form-urlencoded")
                                                     : request.contentType);
    headers = curl_slist_append(headers, type.c_str());
    curl_easy_setopt(curl, CURLOPT_POSTFIELDSIZE_LARGE, static_cast<curl_off_t>(request.body.size()));
    curl_easy_setopt(curl, CURLOPT_POSTFIELDS, request.body.data());
  }
  if (request.method == "HEAD") {
    curl_easy_setopt(curl, CURLOPT_NOBODY, 1L);
  } else if (request.method != "GET" && !(request.method == "POST" && withBody)) {
    curl_easy_setopt(curl, CURLOPT_CUSTOMREQUEST, request.method.c_str());
  }
  curl_easy_setopt(curl, CURLOPT_HTTPHEADER, headers);

  char errorText[CURL_ERROR_SIZE] = {0};
  curl_easy_setopt(curl, CURLOPT_ERRORBUFFER, errorText);
  const CURLcode rc = curl_easy_perform(curl);
  if (rc == CURLE_OK) {
    long status = 0;
    curl_easy_getinfo(curl, CURLINFO_RESPONSE_CODE, &status);
    char* type = nullptr;
    curl_easy_getinfo(curl, CURLINFO_CONTENT_TYPE, &type);
    result.responded = true;
    result.status = static_cast<int>(status);
    result.contentType = type != nullptr ? type : "";
    result.location = transfer.location;
    result.cacheControl = transfer.cacheControl;
  } else if (transfer.tooLarge || rc == CURLE_FILESIZE_EXCEEDED) {
    result.error = "the response is too large";
  } else if (transfer.sinkRefused) {
    result.error = "the response could not be stored";
  } else if (rc == CURLE_ABORTED_BY_CALLBACK) {
    result.error = "the server is shutting down";
  } else if (rc == CURLE_OPERATION_TIMEDOUT) {
    result.error = "the response took too long";
  } else {
    result.error = errorText[0] != '\0' ? errorText : curl_easy_strerror(rc);
    if (rc == CURLE_PEER_FAILED_VERIFICATION || rc == CURLE_SSL_CACERT_BADFILE) {
      result.error += " (the peer's certificate is not trusted or does not name the host)";
    }
  }
  curl_slist_free_all(headers);
  curl_easy_cleanup(curl);
  return result;
}

}  // namespace orla
