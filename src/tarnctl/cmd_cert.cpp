// tarnctl cert: the key and self-signed certificate tarnd presents to terminals.
#include <cstdio>

#include "libs/net/tls.h"
#include "tarnctl/command.h"

namespace {

int RunCert(const std::vector<std::string>& args) {
  std::string dir, name = "tarnd";
  bool replace = false;
  for (std::size_t i = 0; i < args.size(); ++i) {
    if (args[i] == "--data" && i + 1 < args.size()) {
      dir = args[++i];
    } else if (args[i] == "--name" && i + 1 < args.size()) {
      name = args[++i];
    } else if (args[i] == "--replace") {
      replace = true;
    } else {
      std::fprintf(stderr, "usage: tarnctl cert --data DIR [--name NAME] [--replace]\n");
      return 2;
    }
  }
  if (dir.empty()) {
    std::fprintf(stderr, "usage: tarnctl cert --data DIR [--name NAME] [--replace]\n");
    return 2;
  }
  std::string error;
  if (!tarn::net::MakeCertificate(dir, name, replace, error)) {
    std::fprintf(stderr, "tarnctl cert: %s\n", error.c_str());
    return 1;
  }
  const std::string fp = tarn::net::FingerprintOfFile(dir + "/" + tarn::net::kCertFile);
  std::printf("certificate %s/%s\nSHA-256 %s\n", dir.c_str(), tarn::net::kCertFile, fp.c_str());
  return 0;
}

}  // namespace

TARNCTL_COMMAND("cert", "cert --data DIR [--name NAME] [--replace]   make tarnd's key and certificate in DIR", RunCert);
