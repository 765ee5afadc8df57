// Test helper: takes the single-instance guard like the desktop program does.
// Prints "held" and keeps it until standard input closes, or prints "busy" and
// exits 3 when another process holds it.

#include "base/SingleInstance.h"

#include <cstdio>
#include <unistd.h>

int main() {
    const InstanceGuard g = AcquireSingleInstance();
    if (g == InstanceGuard::AlreadyRuns) {
        std::printf("busy\n");
        return 3;
    }
    if (g == InstanceGuard::Unavailable) {
        std::printf("unavailable\n");
        return 4;
    }
    std::printf("held\n");
    std::fflush(stdout);
    char c;
    while (read(STDIN_FILENO, &c, 1) > 0) {
    }
    return 0;
}
