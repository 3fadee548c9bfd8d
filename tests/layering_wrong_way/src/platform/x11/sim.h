// A real back end borrowing from the simulated desktop.
#include "platform/sim/sim_context.h"
