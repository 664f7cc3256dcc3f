#include "platform/shipped_files.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>

#include "platform/file_io.h"

namespace tarn {
namespace fs = std::filesystem;

namespace {

// Shipped data files are small; anything larger than this is not something we ship.
constexpr std::size_t kMaxShippedFile = 64u << 20;

bool IsHash(std::string_view s) {
  return s.size() == 16 && std::all_of(s.begin(), s.end(), [](char c) {
           return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f');
         });
}

// The regular files of the data folders under `root`, as relative paths with '/', sorted.
// Anything else there (executables beside the data, a user/ folder) is not shipped data; nor
// are links and special files.
std::vector<std::string> ListFiles(const fs::path& root, std::vector<std::string>* errors) {
  std::vector<std::string> files;
  for (const char* folder : kShippedFolders) {
    std::error_code ec;
    const fs::path top = root / folder;
    if (!fs::is_directory(fs::symlink_status(top, ec))) continue;
    fs::recursive_directory_iterator it(top, fs::directory_options::none, ec);
    for (const fs::recursive_directory_iterator end; !ec && it != end; it.increment(ec)) {
      std::error_code entryError;
      if (!it->is_symlink(entryError) && it->is_regular_file(entryError)) files.push_back(it->path().lexically_relative(root).generic_string());
    }
    if (ec) errors->push_back("cannot read under " + top.string() + ": " + ec.message());
  }
  std::sort(files.begin(), files.end());
  return files;
}

}  // namespace

std::string ContentHash(std::string_view bytes) {
  std::uint64_t h = 14695981039346656037ull;
  for (unsigned char c : bytes) {
    h ^= c;
    h *= 1099511628211ull;
  }
  char buf[17];
  std::snprintf(buf, sizeof buf, "%016llx", static_cast<unsigned long long>(h));
  return buf;
}

ShippedManifest ParseShippedManifest(std::string_view text) {
  ShippedManifest manifest;
  while (!text.empty()) {
    std::size_t eol = text.find('\n');
    std::string_view line = text.substr(0, eol);
    text = eol == std::string_view::npos ? std::string_view() : text.substr(eol + 1);
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    std::size_t space = line.find(' ');
    if (space == std::string_view::npos || space + 1 >= line.size()) continue;
    std::string_view hash = line.substr(0, space);
    std::string_view path = line.substr(space + 1);
    if (!IsHash(hash) || path.front() == '/' || path.find("..") != std::string_view::npos) continue;
    manifest[std::string(path)] = std::string(hash);
  }
  return manifest;
}

std::string FormatShippedManifest(const ShippedManifest& manifest) {
  std::string text;
  for (const auto& [path, hash] : manifest) {
    if (path.find('\n') != std::string::npos || path.find('\r') != std::string::npos) continue;
    text += hash + ' ' + path + '\n';
  }
  return text;
}

SeedReport SeedShippedFiles(const std::string& shippedDir, const std::string& targetDir) {
  SeedReport report;
  if (!MakeDirs(targetDir)) {
    report.errors.push_back("cannot make the folder " + targetDir);
    return report;
  }
  const std::string manifestPath = targetDir + "/" + kShippedManifest;
  const std::string previousText = ReadWholeFile(manifestPath).value_or("");
  ShippedManifest manifest = ParseShippedManifest(previousText);

  for (const std::string& rel : ListFiles(shippedDir, &report.errors)) {
    if (rel == kShippedManifest) continue;
    const std::string from = shippedDir + "/" + rel;
    const std::string to = targetDir + "/" + rel;
    std::optional<std::string> shipped = ReadWholeFile(from, kMaxShippedFile);
    if (!shipped) {
      report.errors.push_back("cannot read " + from);
      continue;
    }
    const std::string shippedHash = ContentHash(*shipped);

    std::error_code ec;
    const fs::file_status status = fs::symlink_status(to, ec);
    const bool exists = fs::exists(status);
    if (exists && !fs::is_regular_file(status)) {
      // A folder or link where a file is shipped is the user's doing: leave it.
      report.kept.push_back(rel);
      continue;
    }
    bool write = !exists;
    if (exists) {
      std::optional<std::string> current = ReadWholeFile(to, kMaxShippedFile);
      const std::string currentHash = current ? ContentHash(*current) : std::string();
      if (current && currentHash == shippedHash) {
        manifest[rel] = shippedHash;  // already this version's content
        continue;
      }
      auto laidOut = manifest.find(rel);
      if (!current || laidOut == manifest.end() || laidOut->second != currentHash) {
        report.kept.push_back(rel);  // changed or made by the user (or unreadable): theirs
        continue;
      }
      write = true;  // still the content an older version laid out
    }
    if (!write) continue;
    std::string error;
    if (!WriteFileAtomic(to, *shipped, &error)) {
      report.errors.push_back("cannot write " + to + ": " + error);
      continue;
    }
    (exists ? report.updated : report.added).push_back(rel);
    manifest[rel] = shippedHash;
  }

  const std::string text = FormatShippedManifest(manifest);
  if (text != previousText) {
    std::string error;
    if (!WriteFileAtomic(manifestPath, text, &error)) report.errors.push_back("cannot write " + manifestPath + ": " + error);
  }
  return report;
}

}  // namespace tarn
