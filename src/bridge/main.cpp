// vorla-bridge: run by every agent hook. See bridge.h.
#include "bridge/bridge.h"

int main(int argc, char** argv) {
    return vorla::bridge::run(argc, argv);
}
