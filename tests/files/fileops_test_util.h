// Helpers of the file-operation tests.
#pragma once

#include <cstdlib>
#include <string>

// An environment variable as the test left it is put back when the object
// goes.
class SavedEnv {
 public:
  explicit SavedEnv(const char* name) : name_(name) {
    const char* value = std::getenv(name);
    had_ = value != nullptr;
    if (had_) value_ = value;
  }
  ~SavedEnv() {
    if (had_) ::setenv(name_.c_str(), value_.c_str(), 1);
    else ::unsetenv(name_.c_str());
  }
  SavedEnv(const SavedEnv&) = delete;
  SavedEnv& operator=(const SavedEnv&) = delete;

 private:
  std::string name_, value_;
  bool had_ = false;
};
