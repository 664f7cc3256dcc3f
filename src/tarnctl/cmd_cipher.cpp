// tarnctl encipher / decipher: the address cipher of the server lists, so that an
// administrator can write "\config\tradeserverlist.ini" and its siblings by hand.
#include <cstdio>

#include "app/address_cipher.h"
#include "platform/text.h"
#include "tarnctl/command.h"

namespace {

int Run(const std::vector<std::string>& args, bool encipher) {
  if (args.size() != 1) {
    std::fprintf(stderr, "usage: tarnctl %s TEXT\n", encipher ? "encipher" : "decipher");
    return 2;
  }
  // The terminal's texts are GBK; the command line is UTF-8.
  const tarn::AddressCipher cipher;
  if (encipher) {
    std::printf("%s\n", cipher.Encipher(tarn::Utf8ToGbk(args[0])).c_str());
    return 0;
  }
  std::string bytes;
  if (!tarn::Base64Decode(args[0], &bytes)) {
    std::fprintf(stderr, "tarnctl: not a Base64 text\n");
    return 1;
  }
  tarnctl::PrintGbk(cipher.Decipher(args[0]));
  std::printf("\n");
  return 0;
}

}  // namespace

TARNCTL_COMMAND("encipher", "encipher TEXT      print the address cipher's text of TEXT (e.g. tarn-embedded@7200)",
                [](const std::vector<std::string>& args) { return Run(args, true); });
TARNCTL_COMMAND("decipher", "decipher TEXT      print the address that an enciphered TEXT holds",
                [](const std::vector<std::string>& args) { return Run(args, false); });
