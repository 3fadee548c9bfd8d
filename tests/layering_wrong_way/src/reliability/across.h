// Reaches across to the typing flow, which reliability does not link.
#include "correction/key_stroke.h"
