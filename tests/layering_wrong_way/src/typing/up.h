// Reaches up to the engine, which the typing flow serves through its host.
#include "engine/keyboard_engine.h"
