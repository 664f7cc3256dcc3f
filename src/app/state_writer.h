// StateWriter: writes a file on a thread of its own, so that the periodic save of the window
// state never waits for the disk on the UI thread. Each write is atomic (WriteFileAtomic: the
// old file or the new one, never a torn one); while a write is under way only the latest bytes
// posted wait, older ones are dropped.
#pragma once

#include <condition_variable>
#include <mutex>
#include <optional>
#include <string>
#include <thread>

namespace tarn {

class StateWriter {
 public:
  StateWriter();
  // Writes what is still waiting, then ends the thread.
  ~StateWriter();
  StateWriter(const StateWriter&) = delete;
  StateWriter& operator=(const StateWriter&) = delete;

  // Queues the bytes for the path (replacing bytes still waiting) and returns at once.
  void Post(std::string path, std::string bytes);
  // Waits until nothing is waiting or being written; the result of the last write.
  bool Flush();
  int Writes() const;

 private:
  void Run();

  mutable std::mutex mutex_;
  std::condition_variable wake_, idle_;
  std::optional<std::pair<std::string, std::string>> pending_;
  bool busy_ = false;
  bool stop_ = false;
  bool lastOk_ = true;
  int writes_ = 0;
  std::thread thread_;
};

}  // namespace tarn
