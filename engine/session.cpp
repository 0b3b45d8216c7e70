#include "engine/session.h"

namespace {

EngineSession engineOwn;

} // namespace

EngineSession* boundSession = &engineOwn;

void UseSession(EngineSession& session) { boundSession = &session; }
