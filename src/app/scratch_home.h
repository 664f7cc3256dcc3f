// A throw-away copy of the program directory for runs that must leave the user's files as they
// are (tarn --screenshot logs in, places orders and opens every window). The data folders are
// copied (config, user with the exchange's databases, formula, sound, icon, update), so the run
// sees the user's settings, blocks and accounts, and whatever it changes stays in the copy.
#pragma once

#include <string>

namespace tarn {

class ScratchHome {
 public:
  // Copies the data folders of `fromDir` into a new folder under the system's temporary
  // folder. Ok() is false (and Dir() empty) when the copy could not be made.
  explicit ScratchHome(const std::string& fromDir);
  ~ScratchHome();  // removes the copy
  ScratchHome(const ScratchHome&) = delete;
  ScratchHome& operator=(const ScratchHome&) = delete;

  bool Ok() const { return !dir_.empty(); }
  const std::string& Dir() const { return dir_; }
  const std::string& Error() const { return error_; }

 private:
  std::string dir_;
  std::string error_;
};

}  // namespace tarn
