#include "app/run_driver.h"

// Arguments are ignored: every run is one sample.
int main() {
    return runSample();
}
