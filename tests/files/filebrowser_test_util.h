// Shared pieces of the browser tests: scratch trees made with
// std::filesystem (the independent side), the names a browser lists, and a
// recorder of its notifications.
#pragma once

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "files/filebrowser.h"

namespace browser_test {

namespace fs = std::filesystem;

class Tree {
 public:
  Tree() {
    char name[] = "/tmp/zelvaro-browser-XXXXXX";
    root_ = ::mkdtemp(name);
  }
  ~Tree() {
    std::error_code ec;
    fs::remove_all(root_, ec);
  }
  Tree(const Tree&) = delete;
  Tree& operator=(const Tree&) = delete;

  // The root with a trailing '/'.
  std::string Dir() const { return root_.string() + "/"; }
  std::string Path(const std::string& rel) const { return (root_ / rel).string(); }
  void File(const std::string& rel, size_t size = 0, int64_t modified = 0) const {
    fs::path p = root_ / rel;
    fs::create_directories(p.parent_path());
    std::ofstream(p, std::ios::binary) << std::string(size, 'x');
    if (modified) SetModified(rel, modified);
  }
  void Folder(const std::string& rel) const { fs::create_directories(root_ / rel); }
  // Unix seconds as the modification time.
  void SetModified(const std::string& rel, int64_t seconds) const {
    using namespace std::chrono;
    fs::last_write_time(root_ / rel, file_clock::from_sys(sys_seconds{std::chrono::seconds{seconds}}));
  }
  int64_t Modified(const std::string& rel) const {
    using namespace std::chrono;
    return duration_cast<seconds>(file_clock::to_sys(fs::last_write_time(root_ / rel)).time_since_epoch())
        .count();
  }

 private:
  fs::path root_;
};

// The names of the browser's items in list order.
inline std::vector<std::string> Names(const CFileBrowser& b) {
  std::vector<std::string> out;
  for (int i = 0; i < b.GetItemCount(); ++i) out.emplace_back(b.Items().TextAt(static_cast<uint32_t>(i)));
  return out;
}

// Every (index, count, flag) the browser told.
struct Recorder {
  struct Call {
    int index, count;
    DWORD flag;
    bool operator==(const Call& o) const { return index == o.index && count == o.count && flag == o.flag; }
  };
  std::vector<Call> calls;
  static void Tell(uintptr_t user, int index, int count, DWORD flag) {
    reinterpret_cast<Recorder*>(user)->calls.push_back({index, count, flag});
  }
  void Attach(CFileBrowser& b) {
    b.SetCallback(&Tell, reinterpret_cast<uintptr_t>(this), 0xB1, 0xE1, 0xC1, 0xD1);
  }
};

}  // namespace browser_test
