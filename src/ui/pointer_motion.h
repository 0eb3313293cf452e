// Tells the island when the pointer moves, so that its hover tick can sleep
// while the pointer rests: asking X where the pointer is costs a round trip,
// and an idle desktop must stay idle. Uses XInput 2 raw motion on a private
// connection to the X server; where that is not available (Wayland without
// XWayland, the offscreen platform, a server without XInput 2) open() gives
// nothing and the island keeps polling.
//
// Main thread only.
#pragma once

#include <QObject>
#include <QSocketNotifier>
#include <functional>
#include <memory>

namespace vorla::ui {

class PointerMotionWatch final : public QObject {
    Q_OBJECT
  public:
    // Null when motion cannot be watched here.
    static std::unique_ptr<PointerMotionWatch> open();
    ~PointerMotionWatch() override;
    PointerMotionWatch(const PointerMotionWatch&) = delete;
    PointerMotionWatch& operator=(const PointerMotionWatch&) = delete;

    // Called once at the first motion after watch(); motion is then not
    // reported (nor delivered by the server) until the next watch().
    std::function<void()> onMotion;

    // Reports the next motion. Returns once the server has the request, so
    // any motion after the return is reported.
    void watch();

  private:
    struct Connection;
    explicit PointerMotionWatch(std::unique_ptr<Connection> connection);
    void select(bool motion);
    void drain();

    std::unique_ptr<Connection> connection_;
    QSocketNotifier notifier_;
    bool watching_ = false;
};

}  // namespace vorla::ui
