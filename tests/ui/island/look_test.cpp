// The shared look drawn offscreen and read back pixel by pixel: sprites
// against the dot rule, the tray icon, segmented bars and chips.
#include <gtest/gtest.h>

#include <QFontMetricsF>
#include <QImage>
#include <QPainter>
#include <QScrollArea>
#include <QTest>
#include <cmath>

#include "engine/look/context_reading.h"
#include "engine/look/pixel_sprite.h"
#include "support/eventually.h"
#include "ui/desktop/tray_icon_image.h"
#include "ui/island/detail_box_metrics.h"
#include "ui/island/sprite_painter.h"
#include "ui/island/sprite_view.h"
#include "ui/style/palette.h"
#include "ui/widgets/icon_button.h"
#include "ui/widgets/pixel_bar.h"
#include "ui/widgets/status_chip.h"

namespace vorla::ui {
namespace {

QImage blank(int width, int height) {
    QImage image(width, height, QImage::Format_ARGB32);
    image.fill(Qt::transparent);
    return image;
}

QImage render(QWidget& widget) {
    QImage image = blank(widget.width(), widget.height());
    widget.render(&image, QPoint(), QRegion(), QWidget::RenderFlags());
    return image;
}

bool near(QColor actual, QColor expected, int tolerance = 3) {
    return std::abs(actual.red() - expected.red()) <= tolerance &&
           std::abs(actual.green() - expected.green()) <= tolerance &&
           std::abs(actual.blue() - expected.blue()) <= tolerance &&
           std::abs(actual.alpha() - expected.alpha()) <= tolerance;
}

TEST(SpritePainter, EveryDotFollowsTheDotRule) {
    struct Case {
        Source agent;
        SpriteKind kind;
        double t;
    };
    for (const Case& c :
         {Case{Source::claude, SpriteKind::idle, 0.4}, Case{Source::kiro, SpriteKind::error, 1.1},
          Case{Source::codex, SpriteKind::thinking, 0.4},
          Case{Source::grok, SpriteKind::done, 123.3}}) {
        QImage image = blank(64, 64);  // cells of 4 pixels
        {
            QPainter painter(&image);
            paintSprite(painter, QRectF(0, 0, 64, 64), c.kind, c.agent, c.t, spriteTint(c.kind));
        }
        for (int y = 0; y < 16; ++y) {
            for (int x = 0; x < 16; ++x) {
                const QColor centre = image.pixelColor(x * 4 + 2, y * 4 + 2);
                if (PixelSprite::lit(c.kind, c.agent, x, y, c.t)) {
                    EXPECT_TRUE(near(centre, spriteTint(c.kind)))
                        << PixelSprite::key(c.agent, c.kind) << " " << x << "," << y;
                } else {
                    EXPECT_EQ(centre.alpha(), 0)
                        << PixelSprite::key(c.agent, c.kind) << " " << x << "," << y;
                }
            }
        }
    }
}

// Qt's QTRY macros do not fail a GoogleTest: poll through the event loop.
bool settles(const std::function<bool()>& condition) {
    return test::eventually([&] {
        QTest::qWait(2);
        return condition();
    });
}

TEST(SpriteView, SleepsUntilItsFrameChangesAndWhileHiddenOrScrolledAway) {
    double now = 0.5;  // idle (1 fps): frame A until 1.0
    SpriteView view(SpriteKind::idle, Source::claude, 18);
    view.setTimeSource([&now] { return now; });
    EXPECT_FALSE(view.isAnimating());
    view.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&view));
    EXPECT_TRUE(view.isAnimating());
    EXPECT_LE(view.msUntilNextFrame(), 502);
    ASSERT_TRUE(settles([&] { return view.paintCount() >= 1; }));
    const int painted = view.paintCount();

    now = 1.2;  // frame B: the timer wakes, sees the change and repaints once
    ASSERT_TRUE(settles([&] { return view.paintCount() == painted + 1; }));
    EXPECT_GT(view.msUntilNextFrame(), 300);  // sleeps towards 2.0, not a busy re-check

    view.hide();
    EXPECT_FALSE(view.isAnimating());
    view.setKind(SpriteKind::error);
    EXPECT_FALSE(view.isAnimating());

    // Far down a scrolled list it sleeps at its next frame change, unpainted;
    // scrolled into view it paints and wakes again.
    now = 1.99;
    QScrollArea area;
    area.resize(60, 60);
    auto* list = new QWidget;
    list->resize(40, 400);
    auto* row = new SpriteView(SpriteKind::idle, Source::claude, 18, list);
    row->move(0, 300);
    row->setTimeSource([&now] { return now; });
    area.setWidget(list);
    area.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&area));
    ASSERT_TRUE(settles([&] { return !row->isAnimating(); }));
    EXPECT_EQ(row->paintCount(), 0);
    area.ensureWidgetVisible(row);
    ASSERT_TRUE(settles([&] { return row->paintCount() == 1 && row->isAnimating(); }));
}

TEST(TrayIcon, LightCreatureWithADarkOutline) {
    const QImage image = trayIconImage(64);  // cells of 4 pixels
    auto cellColour = [&](int row, int column) {
        return image.pixelColor(column * 4 + 2, row * 4 + 2);
    };
    EXPECT_EQ(cellColour(3, 1), trayGlyphColour());            // crown
    EXPECT_EQ(cellColour(13, 13), trayGlyphColour());          // right leg
    EXPECT_TRUE(near(cellColour(5, 4), trayOutlineColour()));  // an eye
    EXPECT_TRUE(near(cellColour(2, 8), trayOutlineColour()));  // above the crown
    EXPECT_EQ(cellColour(0, 0).alpha(), 0);
    EXPECT_EQ(cellColour(15, 8).alpha(), 0);
    EXPECT_FALSE(trayIcon().isNull());
    EXPECT_EQ(trayIcon().availableSizes().size(), 9);
}

TEST(ContextBar, ElevenOfTwelveYellowNearTheLimitThreePinkAtAQuarter) {
    ContextBar bar;
    bar.resize(12 * 10 + 11 * 3, 6);  // segments of 10 pixels, 3 apart
    auto segmentColour = [&](const QImage& image, int i) {
        return image.pixelColor(i * 13 + 5, 3);
    };
    const QColor unlit = QColor::fromRgbF(1, 1, 1, 0.10f);

    bar.setFraction(ContextReading::of({190000, 200000}).fraction);
    QImage image = render(bar);
    for (int i = 0; i < 12; ++i) {
        EXPECT_TRUE(near(segmentColour(image, i), i < 11 ? Palette::yellow() : unlit)) << i;
    }

    bar.setFraction(ContextReading::of({50000, 200000}).fraction);
    image = render(bar);
    for (int i = 0; i < 12; ++i) {
        EXPECT_TRUE(near(segmentColour(image, i), i < 3 ? Palette::pink() : unlit)) << i;
    }

    PixelBar pixelBar;
    pixelBar.setTint(Palette::green());
    pixelBar.setSegments(4);
    pixelBar.setFraction(0.5);
    pixelBar.resize(4 * 10 + 3 * 3, 6);
    image = render(pixelBar);
    EXPECT_TRUE(near(segmentColour(image, 1), Palette::green()));
    EXPECT_TRUE(near(segmentColour(image, 2), unlit));
}

TEST(StatusChip, NamesTheStatusInItsColour) {
    StatusChip chip(SpriteKind::writing);
    EXPECT_EQ(chip.text(), "active");
    EXPECT_EQ(chip.colour(), Palette::pink());
    chip.setKind(SpriteKind::done);
    EXPECT_EQ(chip.text(), "completed");
    EXPECT_EQ(chip.colour(), Palette::green());
    chip.setKind(SpriteKind::question);
    EXPECT_EQ(chip.text(), "needs you");
    EXPECT_EQ(chip.colour(), Palette::yellow());

    chip.resize(chip.sizeHint());
    const QImage image = render(chip);
    // The capsule's fill is the status colour, faint.
    const QColor fill = image.pixelColor(chip.width() / 2, 1);
    EXPECT_GT(fill.alpha(), 20);
    EXPECT_LT(fill.alpha(), 60);
    EXPECT_GT(fill.red(), fill.blue());  // yellow, not grey
}

TEST(IconButton, DrawsGearAndPowerWithoutAnIconTheme) {
    IconButton gear(IconButton::Glyph::gear, Palette::text2(), 40);
    QImage image = render(gear);
    EXPECT_EQ(image.pixelColor(20, 20).alpha(), 0);       // the hole
    EXPECT_GT(image.pixelColor(20 - 7, 20).alpha(), 60);  // the body

    IconButton power(IconButton::Glyph::power, Palette::pink(), 40);
    image = render(power);
    EXPECT_TRUE(near(image.pixelColor(20, 14), Palette::pink(), 30));      // the stroke
    EXPECT_TRUE(near(image.pixelColor(20 + 9, 21), Palette::pink(), 30));  // the ring
}

TEST(DetailBox, FollowsTheFontsLinesFromOneToFour) {
    const QFontMetricsF metrics(detailFont());
    const double line = std::ceil(metrics.ascent() + metrics.descent() + metrics.leading());
    EXPECT_EQ(detailBoxHeight(""), line + 24);  // "(no arguments)"
    EXPECT_EQ(detailBoxHeight("git status"), line + 24);
    EXPECT_EQ(detailBoxHeight("a\nb"), 2 * line + 24);
    // 440 points hold fewer than 100 mono characters of 13 points.
    EXPECT_EQ(detailBoxHeight(QString(100, u'x')), 2 * line + 24);
    EXPECT_EQ(detailBoxHeight(QString(5000, u'x')), 4 * line + 24);
}

}  // namespace
}  // namespace vorla::ui
