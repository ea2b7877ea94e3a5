#include "platform/setupkit/file_search.h"

#include <sys/stat.h>

#include <algorithm>
#include <filesystem>
#include <system_error>

namespace orla {

namespace {

char FoldAscii(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

bool NameBefore(const FileSearch::Entry& a, const FileSearch::Entry& b) {
  const bool folded_less = std::lexicographical_compare(
      a.name.begin(), a.name.end(), b.name.begin(), b.name.end(),
      [](char x, char y) {
        return static_cast<unsigned char>(FoldAscii(x)) < static_cast<unsigned char>(FoldAscii(y));
      });
  const bool folded_greater = std::lexicographical_compare(
      b.name.begin(), b.name.end(), a.name.begin(), a.name.end(),
      [](char x, char y) {
        return static_cast<unsigned char>(FoldAscii(x)) < static_cast<unsigned char>(FoldAscii(y));
      });
  if (folded_less != folded_greater) return folded_less;
  return a.name < b.name;
}

}  // namespace

std::vector<FileSearch::Entry> FileSearch::List(const std::string& directory) {
  std::vector<Entry> entries;
  std::error_code ec;
  for (std::filesystem::directory_iterator it(directory, ec), end; !ec && it != end; it.increment(ec)) {
    Entry entry;
    entry.name = it->path().filename().string();
    std::error_code type_ec;
    entry.is_directory = it->is_directory(type_ec);
    entries.push_back(std::move(entry));
  }
  std::sort(entries.begin(), entries.end(), NameBefore);
  return entries;
}

bool FileSearch::Exists(const std::string& path) {
  struct stat st;
  return lstat(path.c_str(), &st) == 0;
}

}  // namespace orla
