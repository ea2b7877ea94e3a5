#include "password_hash.h"

#include <crypt.h>
#include <sys/random.h>

#include <cerrno>

#include <cstring>
#include <memory>
#include <stdexcept>
#include <vector>

namespace orla {

namespace {
// struct crypt_data is 32 KiB: it lives on the heap, never on a request
// thread's stack.
std::unique_ptr<crypt_data> NewCryptData() {
  auto data = std::make_unique<crypt_data>();
  std::memset(data.get(), 0, sizeof(crypt_data));
  return data;
}

// From the kernel's random source (blocking only until it is seeded at
// boot).
void RandomBytes(unsigned char* out, size_t n) {
  size_t done = 0;
  while (done < n) {
    const ssize_t got = ::getrandom(out + done, n - done, 0);
    if (got < 0) {
      if (errno == EINTR) continue;
      throw std::runtime_error("no random bytes");
    }
    done += static_cast<size_t>(got);
  }
}

// Compares without an early exit, so the time taken tells nothing about
// where two texts differ.
bool SameBytes(const char* a, const char* b, size_t n) {
  unsigned char diff = 0;
  for (size_t i = 0; i < n; ++i) diff |= static_cast<unsigned char>(a[i] ^ b[i]);
  return diff == 0;
}
}  // namespace

bool PasswordHash::SameText(const std::string& a, const std::string& b) {
  return a.size() == b.size() && SameBytes(a.data(), b.data(), a.size());
}

std::string PasswordHash::Make(const std::string& password) {
  if (password.find('\0') != std::string::npos) return std::string();
  char salt[CRYPT_GENSALT_OUTPUT_SIZE];
  // Count 0: libcrypt's default cost for yescrypt; salt bytes from the OS.
  if (crypt_gensalt_rn("$y$", 0, nullptr, 0, salt, sizeof(salt)) == nullptr) return std::string();
  auto data = NewCryptData();
  const char* hashed = crypt_rn(password.c_str(), salt, data.get(), sizeof(crypt_data));
  if (hashed == nullptr || hashed[0] == '*') return std::string();
  return hashed;
}

bool PasswordHash::Verify(const std::string& password, const std::string& hash) {
  if (hash.empty() || hash[0] != '$' || password.find('\0') != std::string::npos) return false;
  auto data = NewCryptData();
  const char* hashed = crypt_rn(password.c_str(), hash.c_str(), data.get(), sizeof(crypt_data));
  if (hashed == nullptr || hashed[0] == '*') return false;
  const size_t n = std::strlen(hashed);
  return n == hash.size() && SameBytes(hashed, hash.data(), n);
}

std::string PasswordHash::RandomPassword(size_t length) {
  static const char alphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
  const unsigned limit = 62 * 4;  // 248: the largest multiple of 62 below 256
  std::string out;
  while (out.size() < length) {
    unsigned char buf[64];
    RandomBytes(buf, sizeof(buf));
    for (unsigned char b : buf) {
      if (b >= limit) continue;  // rejection keeps every character equally likely
      out.push_back(alphabet[b % 62]);
      if (out.size() == length) break;
    }
  }
  return out;
}

std::string PasswordHash::RandomHex(size_t bytes) {
  static const char digits[] = "0123456789abcdef";
  std::vector<unsigned char> buf(bytes);
  RandomBytes(buf.data(), buf.size());
  std::string out;
  for (unsigned char b : buf) {
    out.push_back(digits[b >> 4]);
    out.push_back(digits[b & 15]);
  }
  return out;
}

}  // namespace orla
