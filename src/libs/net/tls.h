// TLS for the network link: the server's certificate (made once by the administrators' tool)
// and the terminal's check of it.
//
// The server's certificate is self-signed (EC P-256, SHA-256). The terminal trusts a server
// on first use: the first connection to a host and port records the certificate's SHA-256
// fingerprint in the trust file ("\config\servers_trust.ini" by default, section "servers",
// key "host:port"); later connections are refused when the certificate differs. An
// administrator who replaces a certificate tells the users to delete that line.
#pragma once

#include <string>

namespace tarn::net {

constexpr const char* kCertFile = "tarnd.crt";
constexpr const char* kKeyFile = "tarnd.key";
constexpr const char* kDefaultTrustFile = "\\config\\servers_trust.ini";

// Makes a new key and self-signed certificate in `dir` (kCertFile, kKeyFile; the key readable
// by its owner only). `commonName` names the server. False with `error` on failure; an existing
// pair is replaced only with `replace`.
bool MakeCertificate(const std::string& dir, const std::string& commonName, bool replace, std::string& error);

// The SHA-256 fingerprint of a PEM certificate file, hex with colons ("" when unreadable).
std::string FingerprintOfFile(const std::string& certPath);
// The same of a DER certificate.
std::string FingerprintOfDer(const unsigned char* der, int len);

// Trust on first use. `trustFile` is a terminal path or a native path.
enum class Trust { Known, New, Changed };
Trust CheckServer(const std::string& trustFile, const std::string& hostPort, const std::string& fingerprint);
// Records a server's fingerprint (after New).
bool RememberServer(const std::string& trustFile, const std::string& hostPort, const std::string& fingerprint);

}  // namespace tarn::net
