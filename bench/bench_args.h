// The command line of a bench: its options, checked before any work. `--help`
// prints the usage and ends the program with 0; an unknown option, an
// option without its value or one plain argument too many prints what is
// wrong and the usage, and ends it with 2.
#pragma once

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <initializer_list>
#include <string>
#include <utility>
#include <vector>

class BenchArgs {
 public:
  // `options` are names such as "--check"; a name ending in '=' ("--runs=")
  // takes the next argument as its value. At most `plain` arguments that
  // are no option (a folder, a workload) are taken.
  BenchArgs(int argc, char** argv, const char* usage, std::initializer_list<const char*> options,
            size_t plain = 0)
      : m_usage(usage) {
    for (int i = 1; i < argc; ++i) {
      const std::string a = argv[i];
      if (a == "--help" || a == "-h") {
        std::fputs(usage, stdout);
        std::exit(0);
      }
      if (a.size() > 1 && a[0] == '-') {
        const char* known = nullptr;
        for (const char* o : options) {
          const size_t n = std::strlen(o);
          const bool valued = o[n - 1] == '=';
          if (a == std::string(o, valued ? n - 1 : n)) known = o;
        }
        if (known == nullptr) Refuse("unknown option '" + a + "'");
        if (known[std::strlen(known) - 1] == '=') {
          if (i + 1 >= argc) Refuse("option '" + a + "' needs a value");
          m_values.emplace_back(known, argv[++i]);
        } else {
          m_values.emplace_back(known, "");
        }
      } else if (m_plain.size() < plain) {
        m_plain.push_back(a);
      } else {
        Refuse("unexpected argument '" + a + "'");
      }
    }
  }

  bool Has(const char* option) const {
    for (const auto& v : m_values) {
      if (v.first == option) return true;
    }
    return false;
  }
  // The value of a "--name=" option given last, or `fallback`.
  const char* Value(const char* option, const char* fallback) const {
    const char* value = fallback;
    for (const auto& v : m_values) {
      if (v.first == option) value = v.second.c_str();
    }
    return value;
  }
  // The i-th plain argument, or `fallback`.
  const char* Plain(size_t i, const char* fallback) const {
    return i < m_plain.size() ? m_plain[i].c_str() : fallback;
  }

  [[noreturn]] void Refuse(const std::string& why) const {
    std::fprintf(stderr, "%s\n%s", why.c_str(), m_usage);
    std::exit(2);
  }

 private:
  const char* m_usage;
  std::vector<std::pair<std::string, std::string>> m_values;
  std::vector<std::string> m_plain;
};
