#include "game/check_wrap.h"

namespace quillfane {

// The far edges are compared in single precision, the sizes' own precision,
// so a centre less than half a float step past an edge still counts as on it.
void CheckWrap(GameState& state, const Platform& platform) {
  const float height = platform.PlayfieldHeight();
  if (static_cast<float>(state.ShipY) > height) state.ShipY = 0;
  if (state.ShipY < 0) state.ShipY = platform.PlayfieldHeight();

  const float width = platform.PlayfieldWidth();
  if (static_cast<float>(state.ShipX) > width) state.ShipX = 0;
  if (state.ShipX < 0) state.ShipX = platform.PlayfieldWidth();
}

}  // namespace quillfane
