// Reaches across to the typing flow, which reliability does not link.
#include "typing/key_stroke.h"
