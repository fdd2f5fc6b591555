// A scratch folder for the tests of safe writes: files put in and read back
// by name, the folder's listing, and no failure injection left pending.
#pragma once

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "platform/fsops.h"
#include "stream_test_util.h"

class SafeFilesFolder : public ::testing::Test {
 protected:
  using Names = std::vector<std::string>;
  void TearDown() override { SysClearFaults(); }
  void Clear() {
    for (const auto& entry : std::filesystem::directory_iterator(dir_.path())) std::filesystem::remove_all(entry.path());
  }
  std::string Put(const std::string& name, const std::string& text, mode_t mode = 0644) {
    WriteWholeFile(dir_.File(name), Bytes(text.begin(), text.end()));
    ::chmod(dir_.File(name).c_str(), mode);
    return dir_.File(name);
  }
  // The content, or "<none>" when the name is free.
  std::string Read(const std::string& name) {
    struct stat st;
    if (::lstat(dir_.File(name).c_str(), &st) != 0) return "<none>";
    Bytes b = ReadWholeFile(dir_.File(name));
    return std::string(b.begin(), b.end());
  }
  Names Listing() {
    Names names;
    for (const auto& entry : std::filesystem::directory_iterator(dir_.path())) names.push_back(entry.path().filename());
    std::sort(names.begin(), names.end());
    return names;
  }
  ScratchDir dir_;
};
