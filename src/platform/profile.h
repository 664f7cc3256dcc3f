// INI files read and written key by key, with the semantics of the Win32 profile functions
// that the terminal's files were written for:
//  - a missing file, section or key gives the default;
//  - section and key names match without regard to ASCII case;
//  - names and values are trimmed of surrounding blanks, and one pair of enclosing quotes
//    around a value is dropped;
//  - the first of duplicate sections or keys wins;
//  - writing a key keeps every other line, comment and section as it was; a missing file is
//    created with its folders; a null value deletes the key, a null key the whole section;
//  - every write replaces the file atomically.
// Texts are GBK bytes; file names are terminal paths or native paths (see Profile below).
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tarn {

// One INI file in memory, line by line, so that writing keeps what it does not touch.
class ProfileDocument {
 public:
  ProfileDocument() = default;
  // Parses `text`; never fails (lines it does not understand are kept as they are).
  explicit ProfileDocument(std::string_view text);

  // Loads a native path; a missing or unreadable file gives an empty document.
  static ProfileDocument Load(const std::string& nativePath, bool* existed = nullptr);

  std::optional<std::string> Get(std::string_view section, std::string_view key) const;
  std::string GetString(std::string_view section, std::string_view key, std::string_view def) const;
  // The Win32 integer reader: a missing key or empty value gives the default; otherwise an
  // optional sign, an optional 0x prefix and digits up to the first other character (none: 0).
  int GetInt(std::string_view section, std::string_view key, int def) const;
  // The settings reader: a missing value, or one that does not start with a number, gives the
  // default; otherwise the same conversion as GetInt.
  int GetIntOr(std::string_view section, std::string_view key, int def) const;

  // Sets a key (null value: deletes it; null key: deletes the section).
  void Set(std::string_view section, std::optional<std::string_view> key, std::optional<std::string_view> value);

  std::vector<std::string> SectionNames() const;
  std::vector<std::string> KeyNames(std::string_view section) const;

  std::string Serialize() const;
  bool Save(const std::string& nativePath, std::string* error = nullptr) const;

 private:
  struct Line {
    std::string text;    // the line as it stands in the file, without its line end
    int kind = 0;        // 0 other, 1 section header, 2 key line
    std::string name;    // section or key name, trimmed
    std::string value;   // key lines: the value, trimmed and unquoted
  };
  // Index of the header of the first section with that name, or -1.
  int FindSection(std::string_view section) const;
  // Index one past the last line of the section that starts at `header`.
  int SectionEnd(int header) const;
  int FindKey(int header, std::string_view key) const;

  std::vector<Line> lines_;
  std::string eol_ = "\r\n";
  bool finalEol_ = true;
};

// Win32-style calls on terminal paths ("\config\setting.ini" is under the program directory);
// each reads the file afresh and each write replaces it atomically.
namespace Profile {
std::string GetString(std::string_view file, std::string_view section, std::string_view key, std::string_view def);
int GetInt(std::string_view file, std::string_view section, std::string_view key, int def);
int GetIntOr(std::string_view file, std::string_view section, std::string_view key, int def);
bool WriteString(std::string_view file, std::string_view section, std::optional<std::string_view> key,
                 std::optional<std::string_view> value);
bool WriteInt(std::string_view file, std::string_view section, std::string_view key, int value);
// The native path a file name names: a terminal path starting with a backslash is under the
// program directory ("\config\setting.ini"); anything else is a native path as it stands.
std::string Resolve(std::string_view file);
}  // namespace Profile

// Integer conversion as the profile reader and the design's "decimal conversion" do it: blanks,
// optional sign, digits up to the first other character; `ok` is false when no digit was seen.
long long ParseLeadingInt(std::string_view s, bool* ok = nullptr, bool allowHex = false);

}  // namespace tarn
