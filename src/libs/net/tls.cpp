#include "libs/net/tls.h"

#include <openssl/evp.h>
#include <openssl/pem.h>
#include <openssl/x509.h>
#include <sys/stat.h>

#include <cstdio>
#include <memory>

#include "platform/file_io.h"
#include "platform/profile.h"

namespace tarn::net {

namespace {
template <class T, void (*F)(T*)>
struct Free {
  void operator()(T* p) const { F(p); }
};
using KeyPtr = std::unique_ptr<EVP_PKEY, Free<EVP_PKEY, EVP_PKEY_free>>;
using CertPtr = std::unique_ptr<X509, Free<X509, X509_free>>;
using BioPtr = std::unique_ptr<BIO, Free<BIO, BIO_free_all>>;

std::string BioText(BIO* bio) {
  char* data = nullptr;
  const long n = BIO_get_mem_data(bio, &data);
  return n > 0 ? std::string(data, static_cast<std::size_t>(n)) : std::string();
}
}  // namespace

bool MakeCertificate(const std::string& dir, const std::string& commonName, bool replace, std::string& error) {
  const std::string certPath = dir + "/" + kCertFile;
  const std::string keyPath = dir + "/" + kKeyFile;
  if (!replace && (FileExists(certPath) || FileExists(keyPath))) {
    error = "a certificate exists already in " + dir + " (use --replace to make a new one)";
    return false;
  }
  KeyPtr key(EVP_EC_gen("P-256"));
  CertPtr cert(X509_new());
  if (!key || !cert) {
    error = "cannot make a key";
    return false;
  }
  X509_set_version(cert.get(), 2);
  unsigned char serial[8];
  FILE* urandom = std::fopen("/dev/urandom", "rb");
  const bool haveSerial = urandom && std::fread(serial, 1, sizeof serial, urandom) == sizeof serial;
  if (urandom) std::fclose(urandom);
  uint64_t s = 0;
  for (unsigned char c : serial) s = (s << 8) | c;
  ASN1_INTEGER_set_uint64(X509_get_serialNumber(cert.get()), haveSerial ? (s >> 1) : 1);
  X509_gmtime_adj(X509_getm_notBefore(cert.get()), -24 * 3600);
  X509_gmtime_adj(X509_getm_notAfter(cert.get()), 10L * 365 * 24 * 3600);
  X509_set_pubkey(cert.get(), key.get());
  X509_NAME* name = X509_get_subject_name(cert.get());
  X509_NAME_add_entry_by_txt(name, "CN", MBSTRING_UTF8, reinterpret_cast<const unsigned char*>(commonName.c_str()),
                             -1, -1, 0);
  X509_set_issuer_name(cert.get(), name);
  if (X509_sign(cert.get(), key.get(), EVP_sha256()) <= 0) {
    error = "cannot sign the certificate";
    return false;
  }
  BioPtr keyBio(BIO_new(BIO_s_mem())), certBio(BIO_new(BIO_s_mem()));
  if (!PEM_write_bio_PrivateKey(keyBio.get(), key.get(), nullptr, nullptr, 0, nullptr, nullptr) ||
      !PEM_write_bio_X509(certBio.get(), cert.get())) {
    error = "cannot write the certificate";
    return false;
  }
  MakeDirs(dir);
  if (!WriteFileAtomic(keyPath, BioText(keyBio.get()), &error) || chmod(keyPath.c_str(), 0600) != 0 ||
      !WriteFileAtomic(certPath, BioText(certBio.get()), &error)) {
    if (error.empty()) error = "cannot protect " + keyPath;
    return false;
  }
  return true;
}

std::string FingerprintOfDer(const unsigned char* der, int len) {
  unsigned char md[EVP_MAX_MD_SIZE];
  unsigned int n = 0;
  if (!der || len <= 0 || !EVP_Digest(der, static_cast<std::size_t>(len), md, &n, EVP_sha256(), nullptr)) return {};
  static const char* hex = "0123456789ABCDEF";
  std::string out;
  for (unsigned int i = 0; i < n; ++i) {
    if (i) out += ':';
    out += hex[md[i] >> 4];
    out += hex[md[i] & 15];
  }
  return out;
}

std::string FingerprintOfFile(const std::string& certPath) {
  std::unique_ptr<FILE, int (*)(FILE*)> f(std::fopen(certPath.c_str(), "rb"), std::fclose);
  if (!f) return {};
  CertPtr cert(PEM_read_X509(f.get(), nullptr, nullptr, nullptr));
  if (!cert) return {};
  unsigned char* der = nullptr;
  const int len = i2d_X509(cert.get(), &der);
  std::string fp = FingerprintOfDer(der, len);
  OPENSSL_free(der);
  return fp;
}

Trust CheckServer(const std::string& trustFile, const std::string& hostPort, const std::string& fingerprint) {
  const std::string known = Profile::GetString(trustFile, "servers", hostPort, "");
  if (known.empty()) return Trust::New;
  return known == fingerprint ? Trust::Known : Trust::Changed;
}

bool RememberServer(const std::string& trustFile, const std::string& hostPort, const std::string& fingerprint) {
  MakeDirs(Profile::Resolve(trustFile).substr(0, Profile::Resolve(trustFile).rfind('/')));
  return Profile::WriteString(trustFile, "servers", hostPort, fingerprint);
}

}  // namespace tarn::net
