#pragma once
// batchplant: the in-memory model of a batch-process plant and of one
// simulated production run of it, loaded from a results database.

#include "batchplant/platform/Platform.h"
