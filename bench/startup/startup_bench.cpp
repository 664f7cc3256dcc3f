// Start-up figures of the terminal: a throwaway program directory (the build's assets and the
// frm.dat of startup_frame.h), one warm-up start that makes the embedded market's store, then
// `--runs` starts of the real `tarn --startup-report` (offscreen unless QT_QPA_PLATFORM says
// otherwise). For each start: the wall time from just before the process is spawned to the
// report line (the workspace drawn, charts with their bars), the terminal's own count from its
// process start, VmRSS and VmHWM at that moment. Then the median and the spread, the bars per
// chart and the machine's load. A start that changes frm.dat, fails or draws charts without
// 10,000 bars stops the program with exit code 1.
//
//   startup_bench [--runs N] [--tarn PATH] [--keep]
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <vector>

#include "startup_frame.h"

extern char** environ;

namespace {

namespace fs = std::filesystem;

struct Run {
  double wallMs = 0;
  long long drawnMs = 0;
  long rssKb = 0, hwmKb = 0;
  std::string bars;
  std::string phases;
};

std::string ReadFile(const fs::path& p) {
  std::ifstream in(p, std::ios::binary);
  return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

long long Field(const std::string& line, const std::string& name) {
  const std::size_t at = line.find(" " + name + "=");
  return at == std::string::npos ? -1 : std::atoll(line.c_str() + at + name.size() + 2);
}

std::string Text(const std::string& line, const std::string& name) {
  const std::size_t at = line.find(" " + name + "=");
  if (at == std::string::npos) return {};
  const std::size_t from = at + name.size() + 2;
  return line.substr(from, line.find_first_of(" \n", from) - from);
}

// Reads a pipe to its end.
std::string Drain(int fd, std::chrono::steady_clock::time_point* reportAt, const std::string& marker) {
  std::string all;
  char buf[4096];
  for (;;) {
    const ssize_t n = read(fd, buf, sizeof buf);
    if (n <= 0) break;
    all.append(buf, static_cast<std::size_t>(n));
    if (reportAt && all.find(marker) != std::string::npos && all.find('\n', all.find(marker)) != std::string::npos) {
      *reportAt = std::chrono::steady_clock::now();
      reportAt = nullptr;
    }
  }
  return all;
}

bool StartOnce(const std::string& tarn, const fs::path& home, Run* out) {
  int outPipe[2], errPipe[2];
  if (pipe(outPipe) != 0 || pipe(errPipe) != 0) return false;
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, outPipe[1], 1);
  posix_spawn_file_actions_adddup2(&actions, errPipe[1], 2);
  posix_spawn_file_actions_addclose(&actions, outPipe[0]);
  posix_spawn_file_actions_addclose(&actions, errPipe[0]);
  const std::string homeText = home.string();
  std::vector<char*> argv = {const_cast<char*>(tarn.c_str()), const_cast<char*>("--home"),
                             const_cast<char*>(homeText.c_str()), const_cast<char*>("--startup-report"), nullptr};
  const auto start = std::chrono::steady_clock::now();
  pid_t pid = 0;
  const int spawned = posix_spawn(&pid, tarn.c_str(), &actions, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  close(outPipe[1]);
  close(errPipe[1]);
  if (spawned != 0) {
    close(outPipe[0]);
    close(errPipe[0]);
    std::fprintf(stderr, "startup_bench: cannot start %s: %s\n", tarn.c_str(), std::strerror(spawned));
    return false;
  }
  // The report is one short line; standard error is read after the process ends (it only
  // holds the phases and any boxes, well below a pipe's buffer).
  std::chrono::steady_clock::time_point reportAt{};
  const std::string report = Drain(outPipe[0], &reportAt, "startup-report ");
  const std::string errors = Drain(errPipe[0], nullptr, {});
  close(outPipe[0]);
  close(errPipe[0]);
  int status = 0;
  waitpid(pid, &status, 0);
  const std::size_t line = report.find("startup-report ");
  if (!WIFEXITED(status) || WEXITSTATUS(status) != 0 || line == std::string::npos) {
    std::fprintf(stderr, "startup_bench: the start failed (status %d)\n%s%s", status, report.c_str(), errors.c_str());
    return false;
  }
  const std::string text = " " + report.substr(line);
  out->wallMs = std::chrono::duration<double, std::milli>(reportAt - start).count();
  out->drawnMs = Field(text, "drawn_ms");
  out->rssKb = static_cast<long>(Field(text, "vmrss_kb"));
  out->hwmKb = static_cast<long>(Field(text, "vmhwm_kb"));
  out->bars = Text(text, "bars");
  std::istringstream phases(errors);
  for (std::string l; std::getline(phases, l);)
    if (l.rfind("startup-phase ", 0) == 0) out->phases += " " + l.substr(14);
  return true;
}

double Median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  const std::size_t n = v.size();
  return n % 2 ? v[n / 2] : (v[n / 2 - 1] + v[n / 2]) / 2;
}

void Summary(const char* name, const std::vector<double>& v, const char* unit) {
  const auto [lo, hi] = std::minmax_element(v.begin(), v.end());
  std::printf("%-22s median %8.1f %s   min %8.1f   max %8.1f   spread %6.1f\n", name, Median(v), unit, *lo, *hi,
              *hi - *lo);
}

bool CopyAssets(const fs::path& from, const fs::path& to) {
  std::error_code ec;
  for (const char* folder : {"config", "formula", "icon", "sound"}) {
    if (!fs::is_directory(from / folder)) continue;
    fs::copy(from / folder, to / folder, fs::copy_options::recursive, ec);
    if (ec) {
      std::fprintf(stderr, "startup_bench: cannot copy %s: %s\n", (from / folder).c_str(), ec.message().c_str());
      return false;
    }
  }
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  int runs = 7;
  std::string tarn = TARN_EXE;
  bool keep = false;
  for (int i = 1; i < argc; ++i) {
    if (!std::strcmp(argv[i], "--runs") && i + 1 < argc) runs = std::max(1, std::atoi(argv[++i]));
    else if (!std::strcmp(argv[i], "--tarn") && i + 1 < argc) tarn = argv[++i];
    else if (!std::strcmp(argv[i], "--keep")) keep = true;
    else {
      std::fprintf(stderr, "usage: startup_bench [--runs N] [--tarn PATH] [--keep]\n");
      return 2;
    }
  }
  if (!std::getenv("QT_QPA_PLATFORM")) setenv("QT_QPA_PLATFORM", "offscreen", 1);
  std::string pattern = (fs::temp_directory_path() / "tarn-startup-XXXXXX").string();
  if (!mkdtemp(pattern.data())) {
    std::fprintf(stderr, "startup_bench: cannot make a folder in %s\n", fs::temp_directory_path().c_str());
    return 1;
  }
  const fs::path home(pattern);
  if (!CopyAssets(fs::path(tarn).parent_path(), home)) return 1;
  fs::create_directories(home / "user" / "layout");
  const std::string frame = tarn::bench::StartupFrameFile();
  std::ofstream(home / "user" / "layout" / "frm.dat", std::ios::binary) << frame;

  int code = 0;
  std::vector<Run> done;
  for (int i = 0; i <= runs && code == 0; ++i) {
    Run r;
    if (!StartOnce(tarn, home, &r)) code = 1;
    else if (ReadFile(home / "user" / "layout" / "frm.dat") != frame) {
      std::fprintf(stderr, "startup_bench: the start changed frm.dat\n");
      code = 1;
    } else if (r.bars.rfind("10000,10000,", 0) != 0) {
      // Tree order: the two K-line charts, then the time-share chart (its day's bars).
      std::fprintf(stderr, "startup_bench: the K-line charts do not hold 10,000 bars each: %s\n", r.bars.c_str());
      code = 1;
    }
    if (code) break;
    std::printf("%-8s wall %7.1f ms  own %5lld ms  VmRSS %7.1f MB  VmHWM %7.1f MB  phases:%s\n", i ? "start" : "warm-up",
                r.wallMs, r.drawnMs, r.rssKb / 1024.0, r.hwmKb / 1024.0, r.phases.c_str());
    if (i) done.push_back(r);
  }
  if (!done.empty()) {
    std::vector<double> wall, own, rss, hwm;
    for (const Run& r : done) {
      wall.push_back(r.wallMs);
      own.push_back(static_cast<double>(r.drawnMs));
      rss.push_back(r.rssKb / 1024.0);
      hwm.push_back(r.hwmKb / 1024.0);
    }
    std::printf("\n%zu starts, frm.dat of 4 workspaces x 4 windows, bars per chart: %s\n", done.size(),
                done.back().bars.c_str());
    Summary("start to drawn (wall)", wall, "ms");
    Summary("start to drawn (own)", own, "ms");
    Summary("VmRSS when drawn", rss, "MB");
    Summary("VmHWM when drawn", hwm, "MB");
    std::printf("load average: %s", ReadFile("/proc/loadavg").c_str());
  }
  std::error_code ec;
  if (keep) std::printf("program directory kept: %s\n", home.c_str());
  else fs::remove_all(home, ec);
  return code;
}
