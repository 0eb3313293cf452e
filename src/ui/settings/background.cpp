#include "ui/settings/background.h"

#include <sys/resource.h>
#include <unistd.h>

#include <cerrno>

namespace vorla::ui {

void lowerThisThreadsPriority() {
    const auto self = static_cast<id_t>(gettid());
    errno = 0;
    const int now = getpriority(PRIO_PROCESS, self);
    if (errno == 0) {
        // Failing leaves the thread as it was: slower to yield, still correct.
        (void)setpriority(PRIO_PROCESS, self, now + 10);
    }
}

}  // namespace vorla::ui
