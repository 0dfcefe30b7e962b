#include "evidence/sha256.h"

#include <openssl/evp.h>

#include <algorithm>
#include <new>

namespace marlin::evidence {

struct Sha256::Context {
  EVP_MD_CTX* digest = nullptr;
};

Sha256::Sha256() : context_(std::make_unique<Context>()) {
  context_->digest = EVP_MD_CTX_new();
  if (context_->digest == nullptr || EVP_DigestInit_ex(context_->digest, EVP_sha256(), nullptr) != 1) {
    EVP_MD_CTX_free(context_->digest);
    throw std::bad_alloc();
  }
}

Sha256::~Sha256() { EVP_MD_CTX_free(context_->digest); }

void Sha256::add(std::span<const std::uint8_t> bytes) {
  EVP_DigestUpdate(context_->digest, bytes.data(), bytes.size());
}

Sha256Digest Sha256::finish() {
  Sha256Digest digest{};
  unsigned int length = 0;
  EVP_DigestFinal_ex(context_->digest, digest.data(), &length);
  return digest;
}

Sha256Digest sha256Of(std::span<const std::uint8_t> bytes) {
  Sha256 sha;
  sha.add(bytes);
  return sha.finish();
}

Sha256Digest sha256Of(std::string_view text) {
  return sha256Of(std::span(reinterpret_cast<const std::uint8_t*>(text.data()), text.size()));
}

std::string hexText(std::span<const std::uint8_t> bytes) {
  static constexpr char kDigits[] = "0123456789abcdef";
  std::string text;
  text.reserve(2 * bytes.size());
  for (const std::uint8_t byte : bytes) {
    text.push_back(kDigits[byte >> 4]);
    text.push_back(kDigits[byte & 0x0F]);
  }
  return text;
}

bool isSha256Hex(std::string_view text) {
  return text.size() == 2 * std::tuple_size_v<Sha256Digest> &&
         std::all_of(text.begin(), text.end(), [](char c) { return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f'); });
}

}  // namespace marlin::evidence
