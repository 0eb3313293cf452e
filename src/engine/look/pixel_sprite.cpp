#include "engine/look/pixel_sprite.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <limits>

#include "engine/look/creature.h"

namespace vorla::PixelSprite {
namespace {

Frame intensities(const Creature::Grid& characters) {
    Frame frame{};
    for (int row = 0; row < grid; ++row) {
        const std::string& text = characters[static_cast<std::size_t>(row)];
        int column = 0;
        for (std::size_t i = 0; i < text.size() && column < grid; ++column) {
            // "·" is the only multi-byte character in the grids.
            const std::size_t length = static_cast<unsigned char>(text[i]) >= 0xC0 ? 2 : 1;
            frame[static_cast<std::size_t>(row)][static_cast<std::size_t>(column)] =
                intensity(std::string_view(text).substr(i, length));
            i += length;
        }
    }
    return frame;
}

Cache buildCache() {
    Cache built;
    for (Source agent : kAllSources) {
        for (SpriteKind kind : kAllSpriteKinds) {
            std::vector<Frame> list;
            for (const auto& characters : Creature::frames(agent, kind)) {
                list.push_back(intensities(characters));
            }
            built.emplace(key(agent, kind), std::move(list));
        }
    }
    return built;
}

std::int64_t step(SpriteKind kind, double t) {
    return static_cast<std::int64_t>(std::floor(t * framesPerSecond(kind)));
}

}  // namespace

const Cache& cache() {
    static const Cache kCache = buildCache();
    return kCache;
}

std::string key(Source agent, SpriteKind kind) {
    std::string text(rawValue(agent));
    text += '-';
    text += rawValue(kind);
    return text;
}

const std::vector<Frame>& frames(Source agent, SpriteKind kind) {
    return cache().at(key(agent, kind));
}

double intensity(std::string_view character) {
    if (character == "#") {
        return 1.0;
    }
    if (character == "+") {
        return 0.62;
    }
    if (character == "\u00B7") {
        return 0.3;
    }
    return 0;
}

double bayer(int row, int column) {
    static constexpr int kMatrix[4][4] = {
        {0, 8, 2, 10}, {12, 4, 14, 6}, {3, 11, 1, 9}, {15, 7, 13, 5}};
    return (kMatrix[row & 3][column & 3] + 0.5) / 16.0;
}

bool dotOn(double v, int row, int column) {
    if (v <= 0) {
        return false;
    }
    if (v >= 1) {
        return true;
    }
    return bayer(row, column) < v;
}

bool lit(SpriteKind kind, Source agent, int x, int y, double t) {
    const auto found = cache().find(key(agent, kind));
    if (found == cache().end() || found->second.empty()) {
        return false;
    }
    if (x < 0 || y < 0 || x >= grid || y >= grid) {
        return false;
    }
    const auto& list = found->second;
    const auto index =
        static_cast<std::size_t>(step(kind, t) % static_cast<std::int64_t>(list.size()));
    return dotOn(list[index][static_cast<std::size_t>(y)][static_cast<std::size_t>(x)], y, x);
}

Status status(SpriteKind kind) {
    switch (kind) {
        case SpriteKind::idle:
        case SpriteKind::thinking:
        case SpriteKind::reading:
        case SpriteKind::writing:
        case SpriteKind::shell:
            return Status::active;
        case SpriteKind::done:
            return Status::completed;
        case SpriteKind::needsApproval:
        case SpriteKind::question:
        case SpriteKind::planReview:
        case SpriteKind::error:
            return Status::needsYou;
    }
    return Status::active;
}

std::string_view statusLabel(SpriteKind kind) {
    switch (status(kind)) {
        case Status::active:
            return "active";
        case Status::completed:
            return "completed";
        case Status::needsYou:
            return "needs you";
    }
    return "active";
}

Rgb tint(SpriteKind kind) {
    switch (status(kind)) {
        case Status::active:
            return pink;
        case Status::completed:
            return green;
        case Status::needsYou:
            return yellow;
    }
    return pink;
}

double framesPerSecond(SpriteKind kind) {
    switch (kind) {
        case SpriteKind::idle:
            return 1;
        case SpriteKind::thinking:
            return 3;
        case SpriteKind::reading:
        case SpriteKind::writing:
        case SpriteKind::shell:
            return 6;
        case SpriteKind::needsApproval:
            return 8;
        case SpriteKind::question:
            return 2.5;
        case SpriteKind::planReview:
            return 2;
        case SpriteKind::done:
            return 4;
        case SpriteKind::error:
            return 12;
    }
    return 1;
}

int frameIndex(SpriteKind kind, double t) {
    return static_cast<int>(step(kind, t) % 2);
}

double nextFrameChange(SpriteKind kind, double t) {
    const std::int64_t current = step(kind, t);
    double next = static_cast<double>(current + 1) / framesPerSecond(kind);
    // Division can land a hair below the boundary; step past it.
    while (step(kind, next) <= current) {
        next = std::nextafter(next, std::numeric_limits<double>::infinity());
    }
    return next;
}

double spriteTime(std::chrono::system_clock::time_point now) {
    constexpr double kUnixAt2001 = 978307200.0;
    const auto sinceUnix = std::chrono::duration<double>(now.time_since_epoch()).count();
    return std::max(0.0, sinceUnix - kUnixAt2001);
}

double spriteTimeNow() {
    return spriteTime(std::chrono::system_clock::now());
}

}  // namespace vorla::PixelSprite
