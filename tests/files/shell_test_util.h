// A scratch folder for the find, namespace and share tests, removed with
// everything in it.
#pragma once

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

class ShellScratch {
 public:
  ShellScratch() {
    std::string pattern = (std::filesystem::temp_directory_path() / "zlvshellXXXXXX").string();
    path_ = ::mkdtemp(pattern.data()) ? pattern : std::string();
  }
  ~ShellScratch() {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
  }
  const std::string& path() const { return path_; }
  std::string At(const std::string& name) const { return path_ + "/" + name; }
  void File(const std::string& name, const std::string& bytes = "") const {
    std::ofstream(At(name), std::ios::binary) << bytes;
  }
  void Folder(const std::string& name) const { std::filesystem::create_directories(At(name)); }

 private:
  std::string path_;
};
