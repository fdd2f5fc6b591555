// The Bresenham walk shared by the lines and the triangle edges, with the
// arithmetic that jumps over the part of a walk that lies off the image.
//
// A walk along dmajor major steps and dminor minor steps (dmajor >= dminor)
// keeps an error e in (-dminor, dmajor - dminor], starting at
// (dmajor - dminor + 1) / 2. After visiting a position: when e < 1 the minor
// coordinate steps and e grows by dmajor - dminor, else e shrinks by dminor;
// the major coordinate steps in either case.
#pragma once

#include <cstdint>

struct WalkJump {
  int64_t minorSteps;  // minor steps taken during the jump
  int64_t error;       // error at the position reached
};

// The state after `steps` major steps from error e, in O(1). Exact for
// 0 <= steps <= dmajor < 2^32 and dminor <= dmajor, dmajor > 0: after j
// steps e = e0 - j * dminor + s * dmajor with s the one count that puts e
// back into its range.
inline WalkJump JumpWalk(int64_t dmajor, int64_t dminor, int64_t e, int64_t steps) {
  int64_t d = dmajor - dminor;
  uint64_t u = static_cast<uint64_t>(d - e) +
               static_cast<uint64_t>(steps) * static_cast<uint64_t>(dminor);
  uint64_t m = static_cast<uint64_t>(dmajor);
  return {static_cast<int64_t>(u / m), d - static_cast<int64_t>(u % m)};
}

// The fewest major steps from error e after which at least `minorSteps`
// minor steps have been taken (0 < minorSteps <= dminor <= dmajor < 2^32).
inline int64_t StepsForMinor(int64_t dmajor, int64_t dminor, int64_t e, int64_t minorSteps) {
  // s(j) = floor((d - e + j * dminor) / dmajor) >= minorSteps
  uint64_t need = static_cast<uint64_t>(minorSteps) * static_cast<uint64_t>(dmajor);
  uint64_t have = static_cast<uint64_t>(dmajor - dminor - e);
  if (need <= have) return 0;
  uint64_t rest = need - have, dm = static_cast<uint64_t>(dminor);
  return static_cast<int64_t>((rest + dm - 1) / dm);
}

// A line walk clipped along its major axis.
struct LineWalk {
  int64_t major, minor;      // current position on the two axes
  int majorStep, minorStep;  // +1 or -1
  bool xMajor;
  int64_t dmajor, dminor;    // of the whole line
  int64_t e;
  int64_t count;             // positions to visit

  int X() const { return static_cast<int>(xMajor ? major : minor); }
  int Y() const { return static_cast<int>(xMajor ? minor : major); }
  void Step() {
    if (e < 1) {
      minor += minorStep;
      e += dmajor - dminor;
    } else {
      e -= dminor;
    }
    major += majorStep;
  }
};

struct LineClip {
  int runIn;        // the walk may start this many positions before the edge
  int minorSlack;   // rejected only when both ends lie beyond edge + slack
  bool bothEnds;    // count the end point (drawLast)
};

// Sets up the walk from (x1, y1) to (x2, y2) on a width x height image:
// positions before the entry edge further than runIn are jumped over, the
// walk stops at the last position inside on the major axis. False when the
// line lies beyond one edge on the minor axis, ends before the run-in
// position or starts past the far edge.
bool ClipLine(int x1, int y1, int x2, int y2, int width, int height, const LineClip& clip,
              LineWalk& walk);
