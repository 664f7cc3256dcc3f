// Whole-file reading and atomic whole-file replacement.
//
// A file the terminal writes is never rewritten in place: the new content goes to a temporary
// file in the same folder, is flushed to disk, renamed over the old file, and the folder is
// flushed too. A failure at any step leaves the old file as it was and is reported; nothing is
// retried. So a crash, a full disk or a power cut never leaves half a file behind.
#pragma once

#include <cstddef>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

namespace tarn {

// The steps of a replacement, for fault injection in tests.
enum class FileStep { Open, Write, Sync, Rename, DirSync };

// Installs a hook consulted before every step; returning true makes that step fail as if the
// system had refused it. An empty function removes the hook. Tests only.
void SetFileFaultHook(std::function<bool(FileStep)> hook);

// Replaces the file at `nativePath` by `content`, creating missing parent folders. Returns
// false (and the reason in *error) when the file could not be replaced; the old file stays.
bool WriteFileAtomic(const std::string& nativePath, std::string_view content, std::string* error = nullptr);

// Reads a whole file. Returns nothing when it does not exist, cannot be read, or is larger
// than `maxBytes` (so a damaged size can never make a reader allocate without bound).
std::optional<std::string> ReadWholeFile(const std::string& nativePath, std::size_t maxBytes = 256u << 20);

bool FileExists(const std::string& nativePath);
// Creates the folder and its parents; true when it exists afterwards.
bool MakeDirs(const std::string& nativePath);

}  // namespace tarn
