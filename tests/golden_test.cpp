// Golden frames: scripted flights through the window's handlers on a real raster, every
// frame's pixels pinned by a hash in tests/golden/ and a few kept as pictures; and a window
// fed only the raster's changed areas, as a backend feeds it, that must show the same. Then the
// few exact numbers the pictures can hide.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <iterator>
#include <random>
#include <regex>
#include <set>
#include <string>
#include <vector>

#include "bullets/bullets.h"
#include "controls/controls.h"
#include "game/form1.h"
#include "ship/ship.h"
#include "tests/recording_platform.h"

namespace quillfane::testing {
namespace {

// Rewrites the golden data in the source tree: only for an intended change, pictures seen.
const bool kUpdate = std::getenv("QUILLFANE_GOLDEN_UPDATE") != nullptr;
const std::string kGolden = QUILLFANE_GOLDEN_DIR "/", kFailures = QUILLFANE_GOLDEN_FAILURES "/";

struct Picture {
  int width = 0, height = 0;
  std::vector<std::uint32_t> pixels;
  std::uint32_t At(int x, int y) const {
    return x < width && y < height ? pixels[std::size_t(y) * width + x] : 0;
  }
};

// Grey, so a figure of any colour shows; a difference is white where the two differ, over the
// first dimmed.
void WritePgm(const std::string& path, const Picture& a, const Picture& b = {}) {
  const int width = std::max(a.width, b.width), height = std::max(a.height, b.height);
  std::ofstream out(path, std::ios::binary);
  out << "P5\n" << width << ' ' << height << "\n255\n";
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x) {
      const std::uint32_t p = a.At(x, y);
      const int grey = int((p >> 16) + (p >> 8 & 255) + (p & 255)) / 3;
      out.put(char(b.width == 0 ? grey : p != b.At(x, y) ? 255 : grey / 4));
    }
}

Picture ReadPgm(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  Picture picture;
  (in.ignore(2) >> picture.width >> picture.height).ignore(5);  // "P5", "\n255\n"
  for (int i = 0; i < picture.width * picture.height && in; ++i)
    picture.pixels.push_back(std::uint32_t(in.get()) * 0x010101);
  return picture;
}

class Flight {
 public:
  Flight(const std::string& name, int frames, std::set<int> pictured,
         const std::function<void(Flight&)>& script, unsigned seed = 0)
      : random(seed), name_(name), pictured_(std::move(pictured)) {
    std::ifstream list(kGolden + name + ".txt");
    for (std::uint64_t hash; list >> std::hex >> hash;) golden_.push_back(hash);
    if (kUpdate) update_.open(kGolden + name + ".txt");
    platform.onSleep = [&] {
      EndFrame();
      if (++frame >= frames) form_.Picture1_KeyDown(kKeyEscape, 0);
      if (frame > frames) throw ProgramEnded{};  // Esc did not end it
      script(*this);
    };
    form_.Form_Load();
    script(*this);
    EXPECT_THROW(form_.Form_Resize(), ProgramEnded);
    EXPECT_LT(wrong_, 0) << "flight " << name << ": frame " << wrong_
                         << " is the first not golden; pictures in " << kFailures;
  }

  void Hold(Integer key, bool down) {
    down ? form_.Picture1_KeyDown(key, 0) : form_.Picture1_KeyUp(key, 0);
  }
  void Resize(float width, float height) {
    platform.windowWidth = width;
    platform.windowHeight = height;
    form_.Form_Resize();
  }

  RecordingPlatform platform;
  int frame = 0;
  std::mt19937 random;

 private:
  void EndFrame() {
    static const std::regex kOrder("(PRFP)?llllllllllacC?LLALLLL(LLLL)?[bB]*PS");
    const bool ordered = std::regex_match(platform.log, kOrder);
    if (!ordered || !ShowChanges(platform.raster, window_)) {
      ADD_FAILURE() << name_ << " frame " << frame << ": "
                    << (ordered ? "the window misses a change"
                                : "steps out of order " + platform.log);
      throw ProgramEnded{};
    }
    platform.log.clear();
    // What the window shows is the raster's pixels, as checked above.
    const Picture now{platform.raster.PixelWidth(), platform.raster.PixelHeight(), window_};
    std::uint64_t hash = std::uint64_t(now.width) << 32 ^ std::uint32_t(now.height);
    for (const std::uint32_t pixel : now.pixels) hash = (hash ^ pixel) * 1099511628211ULL;
    const std::string prefix = name_ + "-" + std::to_string(frame);
    if (kUpdate) {
      update_ << std::hex << hash << '\n';
      if (pictured_.count(frame)) WritePgm(kGolden + prefix + ".pgm", now);
      return;
    }
    if (wrong_ < 0 && (std::size_t(frame) >= golden_.size() || golden_[frame] != hash)) {
      wrong_ = frame;
      WritePgm(kFailures + prefix + "-actual.pgm", now);
    }
    if (!pictured_.count(frame)) return;
    const Picture expected = ReadPgm(kGolden + prefix + ".pgm");
    if (wrong_ < 0 && expected.pixels == now.pixels) return;
    wrong_ = wrong_ < 0 ? frame : wrong_;
    WritePgm(kFailures + prefix + "-expected.pgm", expected);
    WritePgm(kFailures + prefix + "-actual.pgm", now);
    WritePgm(kFailures + prefix + "-difference.pgm", expected, now);
    throw ProgramEnded{};
  }

  std::string name_;
  std::set<int> pictured_;
  std::vector<std::uint64_t> golden_;
  std::ofstream update_;
  Form1 form_{platform};
  std::vector<std::uint32_t> window_;
  int wrong_ = -1;
};

// Every heading with volleys and the shield; across each edge of a small playfield, thrusting
// down-left and then up-right; the pool filled on a long one, which is then narrowed and
// widened with the bullets on it; the focus lost and regained.
void HandFlight(Flight& f) {
  const int n = f.frame;
  f.Hold(kKeyLeft, n < 81 || (n >= 131 && n < 167) || (n >= 267 && n < 276));
  f.Hold(kKeyDown, n >= 20 && n < 40);
  f.Hold(kKeyUp, (n >= 81 && n < 111) || (n >= 167 && n < 227));
  f.Hold(kKeySpace, n == 0);
  f.Hold(kKeySpace, n < 72 ? n % 6 == 0 : n >= 276 && n < 336);
  if (n == 72) f.Resize(1500, 1200);
  if (n == 276) f.Resize(24000, 1500);
  if (n == 340) f.Resize(18000, 1200);
  if (n == 345) f.Resize(24000, 3000);
  if (n == 355) f.Resize(4500, 3600);
  if (n == 360 || n == 365) f.platform.activeWindow = n == 365;
}

// The five keys, and now and then others the game ignores. One draw a statement: the order in
// which a call's arguments are worked out is the compiler's choice.
void RandomFlight(Flight& f) {
  constexpr Integer kKeys[] = {kKeySpace, kKeyLeft, kKeyUp, kKeyRight, kKeyDown, 65, 13, 100, 222};
  for (int i = 0; i < 3 && f.random() % 100 < 40; ++i) {
    const unsigned r = f.random();  // the key, whether it goes down or up
    f.Hold(kKeys[r / 200 % (r % 100 < 97 ? 5 : 9)], r / 100 % 2);
  }
  const unsigned r = f.random();  // a resize, the focus lost or regained
  if (f.frame > 0 && r % 100 < 3)
    f.Resize(float(15 + r / 100 % 6000), float(15 + r / 600000 % 6000));
  if (r % 100 >= 97) f.platform.activeWindow = r / 100 % 2;
}

TEST(Golden, HandFlight) { Flight("hand", 380, {30, 100, 320, 379}, HandFlight); }

TEST(Golden, RandomFlights) {
  // random1's first frame, the start picture, is the web benchmark's reference page too.
  for (const unsigned seed : {1, 2, 3, 4})
    Flight("random" + std::to_string(seed), 400, {seed == 1 ? 0 : 399, 399}, RandomFlight, seed);
}

// The exact numbers behind the game's rules where its pictures can hide them: the rear arc's
// full turns, bullets retired only strictly past an edge.
TEST(Numbers, RearArcTurnsAndRetiringEdges) {
  GameState state;
  RecordingPlatform platform;
  Form_Load(state);
  platform.SetPlayfieldWidth(7000);
  platform.SetPlayfieldHeight(7000);
  // Heading in degrees, and the full turns taken off each end of the arc.
  const int arcs[][3] = {{0, 0, 0}, {225, 0, 0}, {230, 0, 1}, {305, 0, 1}, {310, 1, 1}};
  for (const auto& [heading, startTurns, endTurns] : arcs) {
    state.ShipAngle = Degrees(state, heading);
    DrawShip(state, platform);
    const double turn = Degrees(state, 360);
    EXPECT_EQ(state.ArcStart, state.ShipAngle + Degrees(state, 50) - startTurns * turn);
    EXPECT_EQ(state.ArcEnd, state.ShipAngle + Degrees(state, 130) - endTurns * turn);
  }

  const Bullet edges[] = {{true, 7000, 0, 0},  {true, 0, 7000, 0},    {true, 7000.01, 0, 0},
                          {true, -1e-9, 0, 0}, {true, 0, 7000.01, 0}, {true, 0, -1e-9, 0}};
  std::copy(std::begin(edges), std::end(edges), state.Bullets.begin() + 1);
  state.BulletCount = 6;
  UpdateBullets(state, platform);
  EXPECT_EQ(state.BulletCount, 2);
  EXPECT_EQ(state.Bullets[1].X, 7000) << "the bullet on the right edge kept, moved straight down";
  EXPECT_EQ(state.Bullets[1].Y, 200);
  EXPECT_EQ(state.Bullets[2].Y, 7200) << "the bullet on the bottom edge kept";
}

}  // namespace
}  // namespace quillfane::testing
