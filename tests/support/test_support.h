// Shared helpers of the test suite.
#pragma once

#include <string>

namespace tarn::test {

// A fresh temporary folder, removed with everything in it when the object goes.
class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;
  const std::string& path() const { return path_; }
  std::string File(const std::string& relative) const { return path_ + "/" + relative; }

 private:
  std::string path_;
};

// Points the program directory at a fresh temporary folder for the life of the object, and
// back to the previous one afterwards.
class ScopedHome {
 public:
  ScopedHome();
  ~ScopedHome();
  const std::string& path() const { return dir_.path(); }
  // Native path of a terminal path in this home.
  std::string Native(const std::string& terminalPath) const;

 private:
  TempDir dir_;
  std::string previous_;
};

// Writes bytes to a native path (creating folders); reads a whole file ("" when missing).
void WriteFile(const std::string& nativePath, const std::string& bytes);
std::string ReadFile(const std::string& nativePath);
bool Exists(const std::string& nativePath);

}  // namespace tarn::test
