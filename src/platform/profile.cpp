#include "platform/profile.h"

#include "platform/file_io.h"
#include "platform/program_dir.h"
#include "platform/text.h"

namespace tarn {

long long ParseLeadingInt(std::string_view s, bool* ok, bool allowHex) {
  s = TrimView(s);
  std::size_t i = 0;
  bool neg = false;
  if (i < s.size() && (s[i] == '-' || s[i] == '+')) {
    neg = s[i] == '-';
    ++i;
  }
  int base = 10;
  if (allowHex && i + 1 < s.size() && s[i] == '0' && (s[i + 1] == 'x' || s[i + 1] == 'X')) {
    base = 16;
    i += 2;
  }
  unsigned long long v = 0;
  bool any = false;
  for (; i < s.size(); ++i) {
    char c = s[i];
    int d;
    if (c >= '0' && c <= '9') d = c - '0';
    else if (base == 16 && c >= 'a' && c <= 'f') d = c - 'a' + 10;
    else if (base == 16 && c >= 'A' && c <= 'F') d = c - 'A' + 10;
    else break;
    any = true;
    if (v < (1ull << 62)) v = v * static_cast<unsigned>(base) + static_cast<unsigned>(d);
  }
  if (ok) *ok = any;
  long long r = static_cast<long long>(v);
  return neg ? -r : r;
}

namespace {

std::string Unquote(std::string_view v) {
  if (v.size() >= 2 && ((v.front() == '"' && v.back() == '"') || (v.front() == '\'' && v.back() == '\'')))
    return std::string(v.substr(1, v.size() - 2));
  return std::string(v);
}

}  // namespace

ProfileDocument::ProfileDocument(std::string_view text) {
  std::size_t pos = 0;
  bool sawCrLf = false, sawLf = false;
  finalEol_ = text.empty() || text.back() == '\n';
  while (pos < text.size()) {
    std::size_t nl = text.find('\n', pos);
    std::string_view raw = text.substr(pos, nl == std::string_view::npos ? std::string_view::npos : nl - pos);
    pos = nl == std::string_view::npos ? text.size() : nl + 1;
    if (!raw.empty() && raw.back() == '\r') {
      raw.remove_suffix(1);
      sawCrLf = true;
    } else if (nl != std::string_view::npos) {
      sawLf = true;
    }
    Line line;
    line.text = std::string(raw);
    std::string_view t = TrimView(raw);
    if (!t.empty() && t.front() == '[') {
      std::size_t close = t.find(']');
      line.kind = 1;
      line.name = Trim(t.substr(1, close == std::string_view::npos ? std::string_view::npos : close - 1));
    } else if (std::size_t eq = t.find('='); eq != std::string_view::npos && !t.empty() && t.front() != ';') {
      line.kind = 2;
      line.name = Trim(t.substr(0, eq));
      line.value = Unquote(TrimView(t.substr(eq + 1)));
    }
    lines_.push_back(std::move(line));
  }
  if (sawLf && !sawCrLf) eol_ = "\n";
}

ProfileDocument ProfileDocument::Load(const std::string& nativePath, bool* existed) {
  auto data = ReadWholeFile(nativePath, 64u << 20);
  if (existed) *existed = data.has_value();
  return data ? ProfileDocument(*data) : ProfileDocument();
}

int ProfileDocument::FindSection(std::string_view section) const {
  std::string_view want = TrimView(section);
  for (std::size_t i = 0; i < lines_.size(); ++i)
    if (lines_[i].kind == 1 && EqualsNoCase(lines_[i].name, want)) return static_cast<int>(i);
  return -1;
}

int ProfileDocument::SectionEnd(int header) const {
  std::size_t i = static_cast<std::size_t>(header) + 1;
  while (i < lines_.size() && lines_[i].kind != 1) ++i;
  return static_cast<int>(i);
}

int ProfileDocument::FindKey(int header, std::string_view key) const {
  std::string_view want = TrimView(key);
  int end = SectionEnd(header);
  for (int i = header + 1; i < end; ++i)
    if (lines_[i].kind == 2 && EqualsNoCase(lines_[i].name, want)) return i;
  return -1;
}

std::optional<std::string> ProfileDocument::Get(std::string_view section, std::string_view key) const {
  int h = FindSection(section);
  if (h < 0) return std::nullopt;
  int k = FindKey(h, key);
  if (k < 0) return std::nullopt;
  return lines_[k].value;
}

std::string ProfileDocument::GetString(std::string_view section, std::string_view key, std::string_view def) const {
  auto v = Get(section, key);
  return v ? *v : Trim(def);
}

int ProfileDocument::GetInt(std::string_view section, std::string_view key, int def) const {
  auto v = Get(section, key);
  if (!v || v->empty()) return def;
  return static_cast<int>(ParseLeadingInt(*v, nullptr, true));
}

int ProfileDocument::GetIntOr(std::string_view section, std::string_view key, int def) const {
  auto v = Get(section, key);
  if (!v) return def;
  bool ok = false;
  long long n = ParseLeadingInt(*v, &ok, true);
  return ok ? static_cast<int>(n) : def;
}

void ProfileDocument::Set(std::string_view section, std::optional<std::string_view> key,
                          std::optional<std::string_view> value) {
  int h = FindSection(section);
  if (!key) {
    if (h >= 0) lines_.erase(lines_.begin() + h, lines_.begin() + SectionEnd(h));
    return;
  }
  if (h < 0) {
    if (!value) return;
    if (!lines_.empty() && !TrimView(lines_.back().text).empty()) lines_.push_back(Line{});
    Line header;
    header.kind = 1;
    header.name = Trim(section);
    header.text = "[" + header.name + "]";
    lines_.push_back(std::move(header));
    h = static_cast<int>(lines_.size()) - 1;
  }
  int k = FindKey(h, *key);
  if (!value) {
    if (k >= 0) lines_.erase(lines_.begin() + k);
    return;
  }
  Line line;
  line.kind = 2;
  line.name = Trim(*key);
  line.value = Unquote(TrimView(*value));
  line.text = line.name + "=" + std::string(*value);
  if (k >= 0) {
    lines_[k] = std::move(line);
    return;
  }
  // Append after the section's last non-blank line.
  int end = SectionEnd(h);
  int at = end;
  while (at > h + 1 && TrimView(lines_[at - 1].text).empty()) --at;
  lines_.insert(lines_.begin() + at, std::move(line));
}

std::vector<std::string> ProfileDocument::SectionNames() const {
  std::vector<std::string> out;
  for (const Line& l : lines_)
    if (l.kind == 1) out.push_back(l.name);
  return out;
}

std::vector<std::string> ProfileDocument::KeyNames(std::string_view section) const {
  std::vector<std::string> out;
  int h = FindSection(section);
  if (h < 0) return out;
  int end = SectionEnd(h);
  for (int i = h + 1; i < end; ++i)
    if (lines_[i].kind == 2) out.push_back(lines_[i].name);
  return out;
}

std::string ProfileDocument::Serialize() const {
  std::string out;
  for (std::size_t i = 0; i < lines_.size(); ++i) {
    out += lines_[i].text;
    if (i + 1 < lines_.size() || finalEol_) out += eol_;
  }
  return out;
}

bool ProfileDocument::Save(const std::string& nativePath, std::string* error) const {
  return WriteFileAtomic(nativePath, Serialize(), error);
}

namespace Profile {

std::string Resolve(std::string_view file) {
  if (!file.empty() && file.front() == '\\') return Path(file);
  return NativePath(file);
}

std::string GetString(std::string_view file, std::string_view section, std::string_view key, std::string_view def) {
  return ProfileDocument::Load(Resolve(file)).GetString(section, key, def);
}

int GetInt(std::string_view file, std::string_view section, std::string_view key, int def) {
  return ProfileDocument::Load(Resolve(file)).GetInt(section, key, def);
}

int GetIntOr(std::string_view file, std::string_view section, std::string_view key, int def) {
  return ProfileDocument::Load(Resolve(file)).GetIntOr(section, key, def);
}

bool WriteString(std::string_view file, std::string_view section, std::optional<std::string_view> key,
                 std::optional<std::string_view> value) {
  std::string path = Resolve(file);
  ProfileDocument doc = ProfileDocument::Load(path);
  doc.Set(section, key, value);
  return doc.Save(path);
}

bool WriteInt(std::string_view file, std::string_view section, std::string_view key, int value) {
  return WriteString(file, section, key, std::to_string(value));
}

}  // namespace Profile
}  // namespace tarn
