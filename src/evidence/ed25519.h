#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "base/status.h"

namespace marlin::evidence {

inline constexpr std::size_t kEd25519SignatureBytes = 64;

struct Ed25519Signature {
  std::vector<std::uint8_t> signature;  // kEd25519SignatureBytes raw bytes
  std::string publicKeyPem;             // the signer's SubjectPublicKeyInfo
};

// Signs message with the private key in the PEM file at privateKeyPath. A
// key that is encrypted is refused rather than asked a passphrase for (the
// tool runs unattended), and so is a key of any other kind than Ed25519.
Status signEd25519(const std::string& privateKeyPath, std::span<const std::uint8_t> message, Ed25519Signature& out);

// Ok when signature is publicKeyPem's Ed25519 signature of message; BadData
// when it is not, or when the key is no Ed25519 public key.
Status verifyEd25519(std::string_view publicKeyPem, std::span<const std::uint8_t> message,
                     std::span<const std::uint8_t> signature);

// What people compare to tell keys apart: the first 16 hex digits of the
// SHA-256 of the public key's DER encoding.
Status publicKeyFingerprint(std::string_view publicKeyPem, std::string& fingerprint);

}  // namespace marlin::evidence
