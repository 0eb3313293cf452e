#include "engine/look/creature.h"

#include <string_view>
#include <vector>

namespace vorla::Creature {
namespace {

using Rows = std::array<std::string_view, 10>;  // body rows 4 to 13
using Piece = std::array<std::string_view, 4>;  // crown rows 0 to 3

struct BodyPair {
    Rows a;
    std::string_view legsB;  // row 13 of frame B
};

const BodyPair& bodyRows(Source source) {
    static const BodyPair kClaude{
        {"..############..", "..##..####..##..", "..##..####..##..", "..############..",
         "..############..", "..############..", "..###......###..", "..##........##..",
         "..##........##..", "..##........##.."},
        ".##..........##."};
    static const BodyPair kCodex{
        {"...##########...", "...##.####.##...", "...##.####.##...", "...##########...",
         "..############..", "..#..######..#..", "..############..", "..###......###..",
         "...##......##...", "...##......##..."},
        "..##........##.."};
    static const BodyPair kGrok{
        {"..############..", ".###..####..###.", ".###..####..###.", "..############..",
         ".##############.", "..############..", "..############..", "..##..####..##..",
         "..##..####..##..", "..##..####..##.."},
        ".##...####...##."};
    static const BodyPair kKiro{
        {".##############.", ".##..######..##.", ".##..######..##.", ".##..######..##.",
         ".##############.", ".##############.", ".####......####.", ".###........###.",
         ".###........###.", ".###........###."},
        "###..........###"};
    static const BodyPair kGemini{
        {"...####..####...", "..##..####..##..", "..##..####..##..", "..############..",
         "...##########...", "..############..", ".##############.", "..###......###..",
         "..##........##..", "..##........##.."},
        "...##......##..."};
    static const BodyPair kCopilot{
        {"....########....", "..###..##..###..", ".####..##..####.", "..############..",
         "...##########...", "..############..", "..############..", "...##......##...",
         "...##......##...", "..###......###.."},
        "...###....###..."};
    static const BodyPair kQwen{
        {"...##########...", "..############..", "..###.####.###..", "..############..",
         ".##############.", ".##############.", "..############..", "...###....###...",
         "...###....###...", "...###....###..."},
        "..###......###.."};
    static const BodyPair kOpenCode{
        {".#.##########.#.", ".#.##..##..##.#.", ".#.##..##..##.#.", ".#.##########.#.",
         "...##########...", "...##########...", "...###....###...", "...##......##...",
         "..##........##..", "..##........##.."},
        "...##......##..."};
    switch (source) {
        case Source::claude:
            return kClaude;
        case Source::codex:
            return kCodex;
        case Source::grok:
            return kGrok;
        case Source::kiro:
            return kKiro;
        case Source::gemini:
            return kGemini;
        case Source::copilot:
            return kCopilot;
        case Source::qwen:
            return kQwen;
        case Source::opencode:
            return kOpenCode;
    }
    return kClaude;
}

// clang-format off
constexpr Piece kFlatCrown{"................", "................", "................", ".##############."};
constexpr Piece kHornsA{"................", "...##......##...", "...##......##...", "...##......##..."};
constexpr Piece kHornsB{"................", "..##........##..", "..##........##..", "...##......##..."};
constexpr Piece kVisor{"................", "................", "..############..", ".##############."};
constexpr Piece kStylusA{"...........##...", "..........##....", ".........##.....", "...##########..."};
constexpr Piece kStylusB{"................", "..........##....", ".........##.....", "...##########..."};
constexpr Piece kNubs{"................", "................", "....##....##....", "...##########..."};
constexpr Piece kFlagA{"....####........", "....####........", "....##..........", "...##########..."};
constexpr Piece kFlagB{"................", "...#####........", "....##..........", "..##########...."};
constexpr Piece kAntennaA{"................", "..........####..", "..........##....", "...##########..."};
constexpr Piece kAntennaB{"..............##", "...........###..", "..........##....", "...##########..."};
constexpr Piece kArch{"................", "................", "....########....", "...##......##..."};
constexpr Piece kArmsA{"................", ".#............#.", "..#..##..##..#..", "...##########..."};
constexpr Piece kArmsB{"#..............#", ".#............#.", "..#..##..##..#..", "...##########..."};
constexpr Piece kCrackedA{"................", "..+.........+...", "....#......#....", "...##.####.##..."};
constexpr Piece kCrackedB{"................", "...·.......·....", "...#........#...", "..##..####..##.."};
// clang-format on

std::array<const Piece*, 2> crownPieces(SpriteKind kind) {
    switch (kind) {
        case SpriteKind::idle:
            return {&kFlatCrown, &kFlatCrown};
        case SpriteKind::thinking:
            return {&kHornsA, &kHornsB};
        case SpriteKind::reading:
            return {&kVisor, &kVisor};
        case SpriteKind::writing:
            return {&kStylusA, &kStylusB};
        case SpriteKind::shell:
            return {&kNubs, &kNubs};
        case SpriteKind::needsApproval:
            return {&kFlagA, &kFlagB};
        case SpriteKind::question:
            return {&kAntennaA, &kAntennaB};
        case SpriteKind::planReview:
            return {&kArch, &kArch};
        case SpriteKind::done:
            return {&kArmsA, &kArmsB};
        case SpriteKind::error:
            return {&kCrackedA, &kCrackedB};
    }
    return {&kFlatCrown, &kFlatCrown};
}

constexpr std::string_view kEmptyRow = "................";

// The characters of a row, one string_view per cell (a UTF-8 sequence each).
std::vector<std::string_view> cellsOf(std::string_view row) {
    std::vector<std::string_view> cells;
    cells.reserve(16);
    for (std::size_t i = 0; i < row.size();) {
        std::size_t length = 1;
        const auto lead = static_cast<unsigned char>(row[i]);
        if (lead >= 0xF0) {
            length = 4;
        } else if (lead >= 0xE0) {
            length = 3;
        } else if (lead >= 0xC0) {
            length = 2;
        }
        cells.push_back(row.substr(i, length));
        i += length;
    }
    return cells;
}

std::string mergeRow(std::string_view body, std::string_view crown) {
    const auto bodyCells = cellsOf(body);
    const auto crownCells = cellsOf(crown);
    std::string merged;
    for (std::size_t i = 0; i < bodyCells.size(); ++i) {
        const bool empty = bodyCells[i] == "." && i < crownCells.size();
        merged += empty ? crownCells[i] : bodyCells[i];
    }
    return merged;
}

}  // namespace

Frames body(Source source) {
    const BodyPair& rows = bodyRows(source);
    Frames frames;
    for (auto& grid : frames) {
        grid.fill(std::string(kEmptyRow));
        for (std::size_t r = 0; r < rows.a.size(); ++r) {
            grid[r + 4] = std::string(rows.a[r]);
        }
    }
    frames[1][13] = std::string(rows.legsB);
    return frames;
}

Frames crown(SpriteKind kind) {
    const auto pieces = crownPieces(kind);
    Frames frames;
    for (std::size_t i = 0; i < frames.size(); ++i) {
        frames[i].fill(std::string(kEmptyRow));
        for (std::size_t r = 0; r < 4; ++r) {
            frames[i][r] = std::string((*pieces[i])[r]);
        }
    }
    return frames;
}

Frames frames(Source agent, SpriteKind state) {
    const Frames bodies = body(agent);
    const Frames crowns = crown(state);
    Frames merged;
    for (std::size_t i = 0; i < merged.size(); ++i) {
        for (std::size_t r = 0; r < 16; ++r) {
            merged[i][r] = mergeRow(bodies[i][r], crowns[i][r]);
        }
    }
    return merged;
}

std::optional<Rgb> colour(Source agent) {
    switch (agent) {
        case Source::claude:
            return Accent::pink;
        case Source::codex:
            return Accent::green;
        case Source::grok:
            return Accent::yellow;
        case Source::kiro:
            return std::nullopt;
        case Source::gemini:
            return Rgb{0.45, 0.67, 0.98};
        case Source::copilot:
            return Rgb{0.74, 0.62, 0.98};
        case Source::qwen:
            return Rgb{0.98, 0.66, 0.38};
        case Source::opencode:
            return Rgb{0.40, 0.86, 0.82};
    }
    return std::nullopt;
}

}  // namespace vorla::Creature
