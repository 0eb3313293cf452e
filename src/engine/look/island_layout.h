// The island's sizes and places as plain numbers: ear widths, collapsed or
// expanded size, where the window sits on the screen, the hover hot areas,
// and the "resize only on a real change" decision. No toolkit types: every
// input is a value, so all of it is unit-tested without a display.
//
// Units are points = Qt logical pixels. Rectangles are in screen coordinates
// with y DOWNWARDS (Qt's), origin at the screen's top-left corner or wherever
// the caller's screen rectangle puts it. Pure functions; safe from any thread.
#pragma once

#include <cstddef>
#include <memory>
#include <optional>
#include <string_view>
#include <vector>

namespace vorla {

class Session;

// The camera housing the island hangs around. Linux screens have none, so
// noNotch() is what the desktop app uses.
struct NotchGeometry {
    bool hasNotch = false;
    double notchWidth = 0;    // 0 without a notch
    double notchHeight = 32;  // 32 without a notch

    [[nodiscard]] static NotchGeometry noNotch() { return {}; }
    friend bool operator==(const NotchGeometry&, const NotchGeometry&) = default;
};

struct LookRect {
    double x = 0;
    double y = 0;
    double width = 0;
    double height = 0;

    [[nodiscard]] double midX() const { return x + width / 2; }
    [[nodiscard]] double right() const { return x + width; }
    [[nodiscard]] double bottom() const { return y + height; }
    // Half-open: the right and bottom edges are outside.
    [[nodiscard]] bool contains(double px, double py) const {
        return px >= x && px < right() && py >= y && py < bottom();
    }
    friend bool operator==(const LookRect&, const LookRect&) = default;
};

namespace IslandLayout {

inline constexpr double spriteSlot = 18;
inline constexpr double spriteGap = 7;
inline constexpr int maxEarSprites = 4;
inline constexpr double leftEarPadding = 12;
inline constexpr double minEar = 46;
inline constexpr double maxRightEar = 150;
inline constexpr double rightEarPerChar = 6.6;
inline constexpr double rightEarExtra = 24;
inline constexpr double expandedWidth = 524;
inline constexpr double expandedMinExtraHeight = 40;
inline constexpr double collapsedMargin = 16;  // 8 of it left of the notch
inline constexpr double hoverMarginX = 20;
inline constexpr double hoverMarginY = 6;

// Width of the left ear for `sessions` sprites (1 to 4 slots shown).
[[nodiscard]] double leftEar(std::size_t sessions);
// Width of the right ear showing `activity` (the first session's): 46 when
// empty, else characters (UTF-8 code points) x 6.6 + 24 within [46, 150].
[[nodiscard]] double rightEar(std::string_view activity);
// The same for a session list: the first session's activity, 46 when empty.
[[nodiscard]] double rightEar(const std::vector<std::shared_ptr<Session>>& sessions);

// What the island shows. The view draws `lapping` content only when not
// expanded; the window is sized for the panel in both non-collapsed modes.
enum class Mode { collapsed, lapping, expanded };
[[nodiscard]] Mode mode(bool gateOpen, bool hovering, bool celebrating);

// Everything resize() reads, as values.
struct Inputs {
    bool gateOpen = false;     // the store has an active gate
    bool hovering = false;     // the island's IslandViewState
    bool celebrating = false;  // the store's celebration is set
    std::size_t sessions = 0;
    double rightEar = minEar;   // rightEar(store.sessions())
    double measuredHeight = 0;  // the island's IslandViewState
    double maxHeight = 0;       // the screen's height; 0 = no cap
};

// The window's size, and where the notch sits inside it when collapsed.
struct Frame {
    double width = 0;
    double height = 0;
    std::optional<double> notchLeading;  // absent when expanded (centred)
    friend bool operator==(const Frame&, const Frame&) = default;
};

// Collapsed: ears + notch + 16 wide, notch high, notch at left ear + 8.
// Lapping: 524 wide, notchHeight + 40 high (the lap's own row; the panel's
// last measured height says nothing about it). Expanded: 524 wide,
// max(measuredHeight, notchHeight + 40) high, capped at maxHeight when that
// is set (the panel's list scrolls beyond it).
[[nodiscard]] Frame frameFor(const Inputs& inputs, const NotchGeometry& geo);

// Where the window goes on `screen` (its full frame): top edge on the
// screen's top; centred, or placed so the notch lines up with the screen's
// centre line when a notch leading is given.
[[nodiscard]] LookRect windowRect(const Frame& frame, const NotchGeometry& geo,
                                  const LookRect& screen);

// The area in which the pointer counts as over the island. Expanded (hover
// or gate): the whole window grown by 20 at each side and 6 below, however
// tall the panel, so every row and the scroll bar stay reachable. Otherwise
// the ears and the notch grown the same way.
[[nodiscard]] LookRect hoverRect(const Inputs& inputs, const NotchGeometry& geo,
                                 const LookRect& screen);

}  // namespace IslandLayout

// Remembers the last frame laid out so the 60 ms tick animates the window
// only on real changes. One per island window; main thread.
class IslandSizer {
  public:
    // The frame to lay out now, or nullopt when it equals the last one. The
    // first call always returns its frame.
    [[nodiscard]] std::optional<IslandLayout::Frame> resize(const IslandLayout::Frame& wanted);
    // Forget the last frame (the screen changed: lay out again).
    void reset() { last_.reset(); }

  private:
    std::optional<IslandLayout::Frame> last_;
};

}  // namespace vorla
