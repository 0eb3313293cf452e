// How much processor time animated sprites cost: shows a window with the
// given sprites for a number of seconds and prints the process's CPU time as
// a share of one core, plus the paints done. Usage:
//   vorla-sprite-cpu SECONDS KIND...   (e.g. 60 idle thinking reading shell)
// With no kinds it shows nothing animated: the idle baseline.
#include <sys/resource.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QHBoxLayout>
#include <QTimer>
#include <QWidget>
#include <cstdio>
#include <cstdlib>
#include <string_view>
#include <vector>

#include "engine/look/pixel_sprite.h"
#include "ui/island/sprite_view.h"

namespace {

using namespace vorla;

double cpuSeconds() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    auto seconds = [](const timeval& t) { return t.tv_sec + t.tv_usec / 1e6; };
    return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

bool kindNamed(std::string_view name, SpriteKind& kind) {
    for (SpriteKind candidate : kAllSpriteKinds) {
        if (rawValue(candidate) == name) {
            kind = candidate;
            return true;
        }
    }
    return false;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: vorla-sprite-cpu SECONDS [KIND...]\n");
        return 2;
    }
    const double seconds = std::atof(argv[1]);
    QApplication app(argc, argv);
    QWidget window;
    window.setAttribute(Qt::WA_TranslucentBackground);
    auto* row = new QHBoxLayout(&window);
    std::vector<ui::SpriteView*> views;
    for (int i = 2; i < argc; ++i) {
        SpriteKind kind{};
        if (!kindNamed(argv[i], kind)) {
            std::fprintf(stderr, "vorla-sprite-cpu: unknown kind %s\n", argv[i]);
            return 2;
        }
        views.push_back(new ui::SpriteView(kind, kAllSources[views.size() % 4], 18, &window));
        row->addWidget(views.back());
    }
    window.show();
    // Measure from the first event-loop turn, after the window is up.
    double cpuStart = 0;
    QElapsedTimer wall;
    QTimer::singleShot(0, [&] {
        cpuStart = cpuSeconds();
        wall.start();
    });
    QTimer::singleShot(static_cast<int>(seconds * 1000), [&] { app.quit(); });
    app.exec();
    const double cpu = cpuSeconds() - cpuStart;
    const double elapsed = static_cast<double>(wall.elapsed()) / 1000;
    int paints = 0;
    for (const auto* view : views) {
        paints += view->paintCount();
    }
    std::printf("sprites=%zu seconds=%.1f cpu=%.3fs share=%.3f%% paints=%d\n", views.size(),
                elapsed, cpu, 100 * cpu / elapsed, paints);
    return 0;
}
