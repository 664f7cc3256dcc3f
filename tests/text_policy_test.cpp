// Every text of the system is GBK inside the terminal. A narrow string literal with non-ASCII
// bytes in src/ would be UTF-8 text slipping into the GBK world unconverted, so this test
// fails on any such literal that is not the argument of TXT(...) or QStringLiteral(...), or a
// u8/u/U/L literal.
#include <gtest/gtest.h>

#include <cctype>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace {

struct Finding {
  std::string file;
  int line;
  std::string literal;
};

bool IsIdentChar(char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_';
}

// Scans one source text; appends every offending literal.
void Scan(const std::string& file, const std::string& src, std::vector<Finding>& out) {
  int line = 1;
  bool prevLiteralAllowed = false;  // for adjacent literals: TXT("a" "b")
  std::size_t prevLiteralEnd = std::string::npos;
  for (std::size_t i = 0; i < src.size(); ++i) {
    char c = src[i];
    if (c == '\n') {
      ++line;
      continue;
    }
    if (c == '/' && i + 1 < src.size() && src[i + 1] == '/') {
      while (i < src.size() && src[i] != '\n') ++i;
      --i;
      continue;
    }
    if (c == '/' && i + 1 < src.size() && src[i + 1] == '*') {
      i += 2;
      while (i + 1 < src.size() && !(src[i] == '*' && src[i + 1] == '/')) {
        if (src[i] == '\n') ++line;
        ++i;
      }
      ++i;
      continue;
    }
    if (c == '\'') {
      // A character literal (skip digit separators such as 1'000 too).
      if (i > 0 && IsIdentChar(src[i - 1]) && std::isdigit(static_cast<unsigned char>(src[i - 1]))) continue;
      ++i;
      while (i < src.size() && src[i] != '\'' && src[i] != '\n') {
        if (src[i] == '\\') ++i;
        ++i;
      }
      continue;
    }
    if (c != '"') continue;

    // Find the prefix (u8, u, U, L, R, u8R, ...).
    std::size_t p = i;
    while (p > 0 && IsIdentChar(src[p - 1])) --p;
    std::string prefix = src.substr(p, i - p);
    bool raw = !prefix.empty() && prefix.back() == 'R';
    std::string enc = raw ? prefix.substr(0, prefix.size() - 1) : prefix;
    bool wide = enc == "u8" || enc == "u" || enc == "U" || enc == "L";
    if (!enc.empty() && !wide) prefix.clear(), raw = false;  // an identifier before the quote

    const int startLine = line;
    std::size_t start = i;
    std::size_t end;
    if (raw) {
      std::size_t paren = src.find('(', i);
      std::string delim = ")" + src.substr(i + 1, paren - i - 1) + "\"";
      end = src.find(delim, paren);
      end = end == std::string::npos ? src.size() : end + delim.size();
    } else {
      end = i + 1;
      while (end < src.size() && src[end] != '"' && src[end] != '\n') {
        if (src[end] == '\\') ++end;
        ++end;
      }
      ++end;
    }
    for (std::size_t k = start; k < end && k < src.size(); ++k)
      if (src[k] == '\n') ++line;
    std::string literal = src.substr(start, end - start);
    bool nonAscii = false;
    for (unsigned char ch : literal) nonAscii |= ch >= 0x80;

    // What stands before the literal (and its prefix), blanks skipped.
    std::size_t b = p;
    while (b > 0 && std::isspace(static_cast<unsigned char>(src[b - 1]))) --b;
    auto endsWith = [&](const char* word) {
      std::size_t n = std::strlen(word);
      return b >= n && src.compare(b - n, n, word) == 0 && (b == n || !IsIdentChar(src[b - n - 1]));
    };
    bool allowed = wide || endsWith("TXT(") || endsWith("QStringLiteral(") || endsWith("QLatin1String(") ||
                   (prevLiteralEnd == b && prevLiteralAllowed);
    if (nonAscii && !allowed) out.push_back({file, startLine, literal});
    prevLiteralAllowed = allowed;
    prevLiteralEnd = end;
    i = end - 1;
  }
}

TEST(TextPolicy, NoUnconvertedNonAsciiLiteralsInSources) {
  std::vector<Finding> findings;
  namespace fs = std::filesystem;
  for (const auto& entry : fs::recursive_directory_iterator(fs::path(TARN_SOURCE_DIR) / "src")) {
    if (!entry.is_regular_file()) continue;
    auto ext = entry.path().extension().string();
    if (ext != ".cpp" && ext != ".h" && ext != ".hpp" && ext != ".cc") continue;
    std::ifstream in(entry.path(), std::ios::binary);
    std::stringstream ss;
    ss << in.rdbuf();
    Scan(entry.path().string(), ss.str(), findings);
  }
  for (const Finding& f : findings) ADD_FAILURE() << f.file << ":" << f.line << ": " << f.literal;
  EXPECT_TRUE(findings.empty());
}

// The scanner itself: what it must flag and what it must let pass.
TEST(TextPolicy, ScannerFlagsOnlyUnconvertedLiterals) {
  std::vector<Finding> f;
  Scan("a.cpp", "auto a = \"\xE4\xB8\xAD\";", f);
  EXPECT_EQ(f.size(), 1u);
  f.clear();
  Scan("b.cpp",
       "auto a = TXT(\"\xE4\xB8\xAD\"); auto b = TXT( \"\xE4\xB8\xAD\" \"\xE6\x96\x87\");\n"
       "auto c = u8\"\xE4\xB8\xAD\"; auto d = QStringLiteral(\"\xE4\xB8\xAD\");\n"
       "// \"\xE4\xB8\xAD\" in a comment\n/* \"\xE4\xB8\xAD\" */ char e = '\"'; auto g = \"ascii\";",
       f);
  EXPECT_TRUE(f.empty());
  Scan("c.cpp", "auto a = Format(\"%s\xE4\xB8\xAD\", x);", f);
  EXPECT_EQ(f.size(), 1u);
}

}  // namespace
