// Reaches up to the engine, which the clipboard history never needs.
#include "engine/value_types.h"
