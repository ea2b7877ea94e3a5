#pragma once
// The client cache files of one server that REQ_SEND_FILE may send, with
// what each response said about its body. A file is listed from state 11 of
// its client request until the request is over.
#include <map>
#include <mutex>
#include <string>

namespace orla {

class CacheFileTable {
 public:
  struct Info {
    int status = 200;
    std::string contentType;
    std::string location;
    std::string cacheControl;
  };

  void Register(const std::string& path, const Info& info);
  void Unregister(const std::string& path);
  bool Lookup(const std::string& path, Info* info) const;

 private:
  mutable std::mutex mutex_;
  std::map<std::string, Info> files_;
};

}  // namespace orla
