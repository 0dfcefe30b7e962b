// Signing manifests: a signature holds only for the bytes and the key it was
// made with, and keys that cannot make one are refused with the reason.
#include "evidence/ed25519.h"

#include <gtest/gtest.h>
#include <openssl/evp.h>
#include <openssl/pem.h>

#include <array>

#include "evidence/key_files.h"
#include "evidence/sha256.h"
#include "support/temp_dir.h"

namespace marlin::evidence {
namespace {

using testing::KeyType;
using testing::TempDir;
using testing::writePrivateKey;

std::span<const std::uint8_t> bytesOf(std::string_view text) {
  return std::span(reinterpret_cast<const std::uint8_t*>(text.data()), text.size());
}

// The key's SubjectPublicKeyInfo DER built by hand: a fixed Ed25519 prefix
// and the 32 raw bytes of the public key read from the private key file.
std::vector<std::uint8_t> publicKeyDer(const std::string& privateKeyPath) {
  std::FILE* file = std::fopen(privateKeyPath.c_str(), "r");
  EVP_PKEY* key = file != nullptr ? PEM_read_PrivateKey(file, nullptr, nullptr, nullptr) : nullptr;
  if (file != nullptr) {
    std::fclose(file);
  }
  std::vector<std::uint8_t> der = {0x30, 0x2a, 0x30, 0x05, 0x06, 0x03, 0x2b, 0x65, 0x70, 0x03, 0x21, 0x00};
  std::array<std::uint8_t, 32> raw{};
  std::size_t length = raw.size();
  EXPECT_TRUE(key != nullptr && EVP_PKEY_get_raw_public_key(key, raw.data(), &length) == 1);
  EVP_PKEY_free(key);
  der.insert(der.end(), raw.begin(), raw.end());
  return der;
}

TEST(Ed25519, ASignatureHoldsForItsBytesAndItsKeyAlone) {
  TempDir dir;
  const std::string keyPath = dir.file("signer.pem");
  const std::string otherPath = dir.file("other.pem");
  writePrivateKey(keyPath, KeyType::Ed25519);
  writePrivateKey(otherPath, KeyType::Ed25519);
  const std::string message = "{\n  \"tool\": \"marlin\"\n}\n";

  Ed25519Signature made;
  ASSERT_TRUE(signEd25519(keyPath, bytesOf(message), made).isOk());
  ASSERT_EQ(made.signature.size(), kEd25519SignatureBytes);
  EXPECT_TRUE(made.publicKeyPem.starts_with("-----BEGIN PUBLIC KEY-----\n")) << made.publicKeyPem;
  EXPECT_TRUE(verifyEd25519(made.publicKeyPem, bytesOf(message), made.signature).isOk());

  // Ed25519 signs without randomness: the same bytes give the same signature.
  Ed25519Signature again;
  ASSERT_TRUE(signEd25519(keyPath, bytesOf(message), again).isOk());
  EXPECT_EQ(again.signature, made.signature);

  std::string tampered = message;
  tampered[5] ^= 0x01;
  const Status changedMessage = verifyEd25519(made.publicKeyPem, bytesOf(tampered), made.signature);
  EXPECT_EQ(changedMessage.code(), StatusCode::BadData);
  EXPECT_NE(changedMessage.message().find("does not match"), std::string::npos) << changedMessage.message();

  std::vector<std::uint8_t> flipped = made.signature;
  flipped[40] ^= 0x80;
  EXPECT_FALSE(verifyEd25519(made.publicKeyPem, bytesOf(message), flipped).isOk());

  Ed25519Signature other;
  ASSERT_TRUE(signEd25519(otherPath, bytesOf(message), other).isOk());
  EXPECT_NE(other.publicKeyPem, made.publicKeyPem);
  EXPECT_FALSE(verifyEd25519(other.publicKeyPem, bytesOf(message), made.signature).isOk());

  const std::vector<std::uint8_t> cut(made.signature.begin(), made.signature.end() - 1);
  const Status shortSignature = verifyEd25519(made.publicKeyPem, bytesOf(message), cut);
  EXPECT_NE(shortSignature.message().find("63 bytes"), std::string::npos) << shortSignature.message();

  EXPECT_FALSE(verifyEd25519("not a key", bytesOf(message), made.signature).isOk());

  std::string fingerprint;
  ASSERT_TRUE(publicKeyFingerprint(made.publicKeyPem, fingerprint).isOk());
  EXPECT_EQ(fingerprint, hexText(sha256Of(publicKeyDer(keyPath))).substr(0, 16));
}

TEST(Ed25519, KeysThatCannotSignAreRefusedWithTheReason) {
  TempDir dir;
  const auto refusal = [&dir](const std::string& name) {
    Ed25519Signature out;
    return signEd25519(dir.file(name), bytesOf("manifest"), out);
  };

  writePrivateKey(dir.file("rsa.pem"), KeyType::Rsa);
  const Status rsa = refusal("rsa.pem");
  EXPECT_EQ(rsa.code(), StatusCode::Unsupported);
  EXPECT_NE(rsa.message().find("rsa.pem holds a key of type RSA: signing takes an Ed25519 key"), std::string::npos)
      << rsa.message();

  // Never a passphrase prompt: the tool runs without anyone to answer it.
  writePrivateKey(dir.file("locked.pem"), KeyType::Ed25519, "secret");
  const Status locked = refusal("locked.pem");
  EXPECT_EQ(locked.code(), StatusCode::Unsupported);
  EXPECT_NE(locked.message().find("is encrypted"), std::string::npos) << locked.message();

  testing::writeFile(dir.file("garbage.pem"), {'n', 'o', ' ', 'k', 'e', 'y'});
  EXPECT_NE(refusal("garbage.pem").message().find("garbage.pem holds no PEM private key"), std::string::npos);

  const Status missing = refusal("absent.pem");
  EXPECT_EQ(missing.code(), StatusCode::NotFound);
  EXPECT_NE(missing.message().find("absent.pem"), std::string::npos) << missing.message();
}

}  // namespace
}  // namespace marlin::evidence
