#include "entity/keys.h"

#include "engine/input.h"

namespace {

bool Valid(int code) { return code >= 0 && code < kLegacyKeys; }

} // namespace

int VKeyDown(int code) { return Valid(code) ? KeyDown(VKEY[std::size_t(code)]) : 0; }
int VKeyHit(int code) { return Valid(code) ? KeyHit(VKEY[std::size_t(code)]) : 0; }
