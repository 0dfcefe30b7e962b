#include "evidence/ed25519.h"

#include <openssl/err.h>
#include <openssl/evp.h>
#include <openssl/pem.h>
#include <openssl/x509.h>

#include <memory>

#include "evidence/sha256.h"
#include "evidence/small_file.h"

namespace marlin::evidence {

namespace {

// A PEM key is a few hundred bytes; anything near this is no key.
constexpr std::size_t kKeyFileLimit = 64u << 10;
constexpr std::size_t kFingerprintDigits = 16;

struct OpenSslFree {
  void operator()(EVP_PKEY* key) const { EVP_PKEY_free(key); }
  void operator()(EVP_MD_CTX* context) const { EVP_MD_CTX_free(context); }
  void operator()(BIO* bio) const { BIO_free(bio); }
};
using KeyPointer = std::unique_ptr<EVP_PKEY, OpenSslFree>;
using DigestPointer = std::unique_ptr<EVP_MD_CTX, OpenSslFree>;
using BioPointer = std::unique_ptr<BIO, OpenSslFree>;

// The password callback: with none, libcrypto would prompt on the terminal.
int refusePassphrase(char*, int, int, void*) { return -1; }

// A failure of libcrypto's, its error queue emptied so that the next call on
// this thread does not find reasons that are not its own.
Status libcryptoFailure(StatusCode code, const std::string& message) {
  ERR_clear_error();
  return Status::failure(code, message);
}

BioPointer memoryReader(std::string_view bytes) {
  return BioPointer(BIO_new_mem_buf(bytes.data(), static_cast<int>(bytes.size())));
}

std::string keyKindName(const EVP_PKEY* key) {
  const char* name = EVP_PKEY_get0_type_name(key);
  return name != nullptr ? name : "unknown";
}

Status readPublicKey(std::string_view pem, KeyPointer& key) {
  if (pem.size() > kKeyFileLimit) {
    return Status::failure(StatusCode::BadData, "the public key is too long to be one");
  }
  const BioPointer bio = memoryReader(pem);
  key.reset(bio ? PEM_read_bio_PUBKEY(bio.get(), nullptr, refusePassphrase, nullptr) : nullptr);
  if (!key) {
    return libcryptoFailure(StatusCode::BadData, "the public key is no PEM public key");
  }
  if (EVP_PKEY_get_id(key.get()) != EVP_PKEY_ED25519) {
    return Status::failure(StatusCode::BadData,
                           "the public key is of type " + keyKindName(key.get()) + ", not Ed25519");
  }
  return Status::ok();
}

Status publicKeyText(EVP_PKEY* key, std::string& pem) {
  const BioPointer bio(BIO_new(BIO_s_mem()));
  if (!bio || PEM_write_bio_PUBKEY(bio.get(), key) != 1) {
    return libcryptoFailure(StatusCode::OutOfMemory, "cannot write the public key");
  }
  char* data = nullptr;
  const long length = BIO_get_mem_data(bio.get(), &data);
  pem.assign(data, static_cast<std::size_t>(length));
  return Status::ok();
}

}  // namespace

Status signEd25519(const std::string& privateKeyPath, std::span<const std::uint8_t> message, Ed25519Signature& out) {
  std::string pem;
  if (const Status read = readSmallFile(privateKeyPath, kKeyFileLimit, pem); !read) {
    return read;
  }
  const BioPointer bio = memoryReader(pem);
  const KeyPointer key(bio ? PEM_read_bio_PrivateKey(bio.get(), nullptr, refusePassphrase, nullptr) : nullptr);
  if (!key) {
    if (pem.find("ENCRYPTED") != std::string::npos) {
      return libcryptoFailure(StatusCode::Unsupported, "the private key in " + privateKeyPath +
                                                           " is encrypted: signing asks for no passphrase, so give "
                                                           "a key stored without one");
    }
    return libcryptoFailure(StatusCode::BadData, privateKeyPath + " holds no PEM private key");
  }
  if (EVP_PKEY_get_id(key.get()) != EVP_PKEY_ED25519) {
    return Status::failure(StatusCode::Unsupported, privateKeyPath + " holds a key of type " + keyKindName(key.get()) +
                                                        ": signing takes an Ed25519 key");
  }
  const DigestPointer context(EVP_MD_CTX_new());
  out.signature.assign(kEd25519SignatureBytes, 0);
  std::size_t length = out.signature.size();
  if (!context || EVP_DigestSignInit(context.get(), nullptr, nullptr, nullptr, key.get()) != 1 ||
      EVP_DigestSign(context.get(), out.signature.data(), &length, message.data(), message.size()) != 1 ||
      length != kEd25519SignatureBytes) {
    return libcryptoFailure(StatusCode::IoError, "cannot sign with the key in " + privateKeyPath);
  }
  return publicKeyText(key.get(), out.publicKeyPem);
}

Status verifyEd25519(std::string_view publicKeyPem, std::span<const std::uint8_t> message,
                     std::span<const std::uint8_t> signature) {
  KeyPointer key;
  if (const Status read = readPublicKey(publicKeyPem, key); !read) {
    return read;
  }
  if (signature.size() != kEd25519SignatureBytes) {
    return Status::failure(StatusCode::BadData, "the signature is " + std::to_string(signature.size()) +
                                                    " bytes, where an Ed25519 signature is " +
                                                    std::to_string(kEd25519SignatureBytes));
  }
  const DigestPointer context(EVP_MD_CTX_new());
  if (!context || EVP_DigestVerifyInit(context.get(), nullptr, nullptr, nullptr, key.get()) != 1 ||
      EVP_DigestVerify(context.get(), signature.data(), signature.size(), message.data(), message.size()) != 1) {
    return libcryptoFailure(StatusCode::BadData, "the signature does not match the key and the signed bytes");
  }
  return Status::ok();
}

Status publicKeyFingerprint(std::string_view publicKeyPem, std::string& fingerprint) {
  KeyPointer key;
  if (const Status read = readPublicKey(publicKeyPem, key); !read) {
    return read;
  }
  const int length = i2d_PUBKEY(key.get(), nullptr);
  if (length <= 0) {
    return libcryptoFailure(StatusCode::BadData, "cannot encode the public key");
  }
  std::vector<std::uint8_t> der(static_cast<std::size_t>(length));
  std::uint8_t* end = der.data();
  i2d_PUBKEY(key.get(), &end);
  fingerprint = hexText(sha256Of(der)).substr(0, kFingerprintDigits);
  return Status::ok();
}

}  // namespace marlin::evidence
