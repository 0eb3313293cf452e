// An sRGB colour with components in [0, 1], fully opaque: how the engine names
// the accents it hands to the interface (which turns them into QColor).
#pragma once

namespace vorla {

struct Rgb {
    double r = 0;
    double g = 0;
    double b = 0;

    friend constexpr bool operator==(const Rgb&, const Rgb&) = default;
};

namespace Accent {
inline constexpr Rgb green{0.55, 0.91, 0.55};
inline constexpr Rgb yellow{0.98, 0.85, 0.42};
inline constexpr Rgb pink{0.98, 0.53, 0.75};
}  // namespace Accent

}  // namespace vorla
