// Python's ntpath as a peer: one expression evaluated for every path.
#pragma once

#include <string>
#include <vector>

#include "../toolkit/peer_process.h"

// The value of `expression` (over the path `l`) printed by Python for each
// path, one line each; empty when Python could not be run or printed fewer
// lines.
inline std::vector<std::string> NtpathEach(const std::string& expression, const std::vector<std::string>& paths) {
  std::string input;
  for (const auto& p : paths) input += p + "\n";
  bool ran = false;
  std::string out = peer::Run("/usr/bin/python3 -c 'import sys,ntpath\n"
                              "for l in sys.stdin.read().split(\"\\n\")[:-1]: print(" +
                                  expression + ")'",
                              input, &ran);
  std::vector<std::string> lines;
  for (size_t at = 0, nl; ran && (nl = out.find('\n', at)) != std::string::npos; at = nl + 1)
    lines.push_back(out.substr(at, nl - at));
  if (lines.size() != paths.size()) lines.clear();
  return lines;
}
