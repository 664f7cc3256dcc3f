// The per-user program directory of an installed terminal, laid out from the shipped data.
//
// The first start copies every shipped file (config, formula, sound, icon, ...) into the user's
// folder. A later version's start adds the files it newly ships and replaces a shipped file the
// user has not touched, but never overwrites a file the user has changed or made: the manifest
// "\user\shipped-files.txt" records, for each file laid out, the hash of the content it was
// given, so that "unchanged since laid out" can be told from "changed by the user".
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <string_view>
#include <vector>

namespace tarn {

// The folders of shipped data; the user's own folder "user" is never among them.
inline constexpr const char* kShippedFolders[] = {"config", "formula", "sound", "icon", "update"};

// The manifest's place inside the program directory.
inline constexpr const char* kShippedManifest = "user/shipped-files.txt";

// A 64-bit FNV-1a hash of a file's bytes, as 16 lower-case hex digits. It tells edits apart
// from the shipped content; it is not meant to resist a deliberate collision.
std::string ContentHash(std::string_view bytes);

// Relative path (with '/') -> content hash of what was laid out.
using ShippedManifest = std::map<std::string, std::string>;

// One line a file: "<hash> <relative path>". Lines that do not parse are skipped, which only
// makes the seeding keep the file they named.
ShippedManifest ParseShippedManifest(std::string_view text);
std::string FormatShippedManifest(const ShippedManifest& manifest);

struct SeedReport {
  std::vector<std::string> added;    // copied: missing in the user's folder
  std::vector<std::string> updated;  // replaced: the user had not changed the older copy
  std::vector<std::string> kept;     // the user's own content, left as it is
  std::vector<std::string> errors;   // texts of what failed (the rest still went on)
  bool ok() const { return errors.empty(); }
};

// Lays out every regular file of the shipped folders under `shippedDir` into `targetDir` by
// the rules above and
// rewrites the manifest. Each file is written atomically, so an interrupted run leaves either
// the old or the new file.
SeedReport SeedShippedFiles(const std::string& shippedDir, const std::string& targetDir);

}  // namespace tarn
