// vorla-bridge: run by every agent hook. See bridge.h.
#include <malloc.h>

#include "bridge/bridge.h"

int main(int argc, char** argv) {
    // A short-lived process: keep freed memory for reuse instead of handing
    // it back, so the copies of a megabyte payload land on pages already
    // touched (a fresh page costs a fault, several microseconds each).
    mallopt(M_MMAP_THRESHOLD, 256 << 20);
    mallopt(M_TRIM_THRESHOLD, 512 << 20);
    return vorla::bridge::run(argc, argv);
}
