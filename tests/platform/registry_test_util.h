// A private store per test, so no test ever reads or writes the user's.
#pragma once

#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <fstream>
#include <sstream>
#include <filesystem>
#include <functional>
#include <string>

#include "platform/registry.h"

// Runs `body` in a child process; its result becomes the exit status.
inline pid_t Spawn(const std::function<int()>& body) {
  const pid_t pid = fork();
  if (pid == 0) _exit(body());
  return pid;
}

// The exit status, or 128 + the signal that ended the process.
inline int Reap(pid_t pid) {
  int status = 0;
  if (waitpid(pid, &status, 0) != pid) return -1;
  return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

class RegistryStoreTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/zelvaro-registry-XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    dir_ = pattern;
    path_ = dir_ + "/config/zelvaro/registry.db";
    old_ = dir_ + "/config/zelvaro/registry.dat";
    ASSERT_EQ(mkdir((dir_ + "/config").c_str(), 0700), 0);
    ASSERT_EQ(mkdir((dir_ + "/config/zelvaro").c_str(), 0700), 0);
    platform::RegistryClearFaults();
    platform::RegistryUseStoreFile(path_.c_str());
  }
  void TearDown() override {
    platform::RegistryClearFaults();
    platform::RegistryUseStoreFile((dir_ + "/after/registry.db").c_str());
    std::error_code error;
    std::filesystem::remove_all(dir_, error);
    ASSERT_FALSE(error) << error.message();
  }
  // Opens the store again as a fresh process would.
  void Reload() { platform::RegistryUseStoreFile(path_.c_str()); }
  // Drops the store so that the next use makes it anew.
  void RemoveStore() {
    Reload();
    for (const char* suffix : {"", "-wal", "-shm"}) unlink((path_ + suffix).c_str());
  }

  static std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream all;
    all << in.rdbuf();
    return all.str();
  }
  static void WriteFile(const std::string& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary);
    out << bytes;
    out.close();
    ASSERT_TRUE(out.good()) << path;
  }

  std::string dir_;
  std::string path_;
  std::string old_;  // the older store file beside the database
};
