// One sample from start to end.
#pragma once

// Always 0.
int runSample();
