// A job's inputs taken from the window's stores, for the commands that
// start jobs (the window's buttons and the tool).
#pragma once

#include "paging/jobs.h"

// The job's inputs as Settings and TextSlots hold them now.
JobInput TakeJobInput();
