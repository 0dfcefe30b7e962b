#pragma once

// Private keys made for a test and written as PEM files, as openssl genpkey
// would write them.
#include <gtest/gtest.h>
#include <openssl/evp.h>
#include <openssl/pem.h>

#include <cstdio>
#include <string>

namespace marlin::testing {

enum class KeyType { Ed25519, Rsa };

// With a passphrase the key is stored encrypted (PKCS#8, AES-256).
inline void writePrivateKey(const std::string& path, KeyType type, const std::string& passphrase = {}) {
  EVP_PKEY* key = type == KeyType::Ed25519 ? EVP_PKEY_Q_keygen(nullptr, nullptr, "ED25519")
                                           : EVP_PKEY_Q_keygen(nullptr, nullptr, "RSA", std::size_t{2048});
  ASSERT_NE(key, nullptr);
  std::FILE* file = std::fopen(path.c_str(), "w");
  ASSERT_NE(file, nullptr) << path;
  const int written =
      passphrase.empty() ? PEM_write_PrivateKey(file, key, nullptr, nullptr, 0, nullptr, nullptr)
                         : PEM_write_PKCS8PrivateKey(file, key, EVP_aes_256_cbc(), const_cast<char*>(passphrase.data()),
                                                     static_cast<int>(passphrase.size()), nullptr, nullptr);
  std::fclose(file);
  EVP_PKEY_free(key);
  ASSERT_EQ(written, 1) << path;
}

}  // namespace marlin::testing
