// Reaches up to the engine, which the dictionaries lie below.
#include "engine/keyboard_engine.h"
