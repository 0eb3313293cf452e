// The island drawn offscreen: its outline and mask, the window's size for the
// sessions it shows, the collision warning, a hundred sessions, and the
// victory lap's pixels.
#include "ui/island/island.h"

#include <gtest/gtest.h>

#include <QLabel>
#include <QPainter>
#include <QScrollArea>
#include <QScrollBar>
#include <QTest>
#include <cstdlib>

#include "engine/records/victory_lap.h"
#include "support/eventually.h"
#include "support/temp_home.h"
#include "ui/desktop/qt_main_queue.h"
#include "ui/island/lap_view.h"
#include "ui/island/session_row.h"
#include "ui/island/sprite_painter.h"
#include "ui/island/sprite_view.h"
#include "ui/style/palette.h"

namespace vorla::test {
namespace {

// Red, green and blue within `tolerance`.
bool near(QColor actual, QColor expected, int tolerance) {
    return std::abs(actual.red() - expected.red()) <= tolerance &&
           std::abs(actual.green() - expected.green()) <= tolerance &&
           std::abs(actual.blue() - expected.blue()) <= tolerance;
}

class IslandTest : public ::testing::Test {
  protected:
    void start(const std::string& id, const std::string& activity = {},
               const std::string& folder = {}) {
        Event event;
        event.id = id;
        event.source = Source::claude;
        event.event = Canonical::sessionStart;
        event.sessionID = id;
        event.cwd = "/work/" + (folder.empty() ? id : folder);
        store.apply(event);
        if (!activity.empty()) {
            store.sessions().back()->setActivity(activity);
        }
    }

    // The window's size once the view has reported its height.
    QSize laidOut() {
        QTest::qWait(0);
        island.resize();
        return island.window().geometry().size();
    }

    QImage drawn() {
        island.view().resize(island.window().size());
        QImage image = island.view().grab().toImage();
        return image;
    }

    TempHome home;
    ui::QtMainQueue queue;
    SessionStore store{queue, SystemClock::shared()};
    ui::Island island{store, NotchGeometry::noNotch(), {}};
};

TEST_F(IslandTest, EarsGrowWithSessionsAndTheFirstActivity) {
    EXPECT_EQ(laidOut(), QSize(108, 32));  // two empty 46-point ears and the margin
    start("a", "ab");
    EXPECT_EQ(laidOut(), QSize(46 + 46 + 16, 32));
    for (auto id : {"b", "c", "d", "e"}) {
        start(id);
    }
    EXPECT_EQ(laidOut(), QSize(105 + 46 + 16, 32));  // four sprites at most
    store.sessions().front()->setActivity(std::string(30, 'x'));
    EXPECT_EQ(laidOut(), QSize(105 + 150 + 16, 32));
}

TEST_F(IslandTest, TheOutlineIsOpaqueInsideAndClearAtShouldersAndCorners) {
    island.resize();
    QImage collapsed = drawn();
    ASSERT_EQ(collapsed.size(), QSize(108, 32));
    EXPECT_EQ(qAlpha(collapsed.pixel(54, 16)), 255);  // body
    EXPECT_EQ(qAlpha(collapsed.pixel(54, 0)), 255);   // top edge runs full width
    EXPECT_EQ(qAlpha(collapsed.pixel(1, 6)), 0);      // concave shoulder
    EXPECT_EQ(qAlpha(collapsed.pixel(106, 6)), 0);
    EXPECT_EQ(qAlpha(collapsed.pixel(9, 31)), 0);  // rounded bottom corners
    EXPECT_EQ(qAlpha(collapsed.pixel(98, 31)), 0);
    const QRegion mask = island.view().mask(collapsed.size());
    EXPECT_TRUE(mask.contains(QPoint(54, 16)));
    EXPECT_FALSE(mask.contains(QPoint(1, 6)));
    EXPECT_FALSE(mask.contains(QPoint(1, 20)));

    island.viewState().setHovering(true);
    QSize open = laidOut();
    EXPECT_EQ(open.width(), 524);
    QImage expanded = drawn();
    const int h = expanded.height();
    EXPECT_EQ(qAlpha(expanded.pixel(262, h / 2)), 255);
    EXPECT_EQ(qAlpha(expanded.pixel(2, 10)), 0);
    EXPECT_EQ(qAlpha(expanded.pixel(521, 10)), 0);
    EXPECT_EQ(qAlpha(expanded.pixel(14, h - 1)), 0);
    EXPECT_EQ(qAlpha(expanded.pixel(509, h - 1)), 0);
}

TEST_F(IslandTest, TwoLiveAgentsInOneFolderShowTheCollisionWarning) {
    start("a", {}, "shop");
    start("b", {}, "till");
    island.viewState().setHovering(true);
    laidOut();
    auto labelWith = [&](const QString& text) -> QLabel* {
        for (QLabel* label : island.view().findChildren<QLabel*>()) {
            if (label->text() == text) {
                return label;
            }
        }
        return nullptr;
    };
    QLabel* title = labelWith(QStringLiteral("⚠ COLLISION"));
    ASSERT_NE(title, nullptr);
    QWidget* box = title->parentWidget();
    EXPECT_FALSE(box->isVisibleTo(&island.view()));

    start("c", {}, "shop");
    laidOut();
    ASSERT_TRUE(box->isVisibleTo(&island.view()));
    QLabel* text = labelWith(QStringLiteral("two agents editing /work/shop"));
    ASSERT_NE(text, nullptr);
    EXPECT_EQ(text->parentWidget(), box);

    // The box is pink at 12 % over the island's black.
    island.window().show();
    QTest::qWait(0);
    const QImage image = drawn();
    const QColor pink = ui::Palette::pink();
    EXPECT_TRUE(near(
        image.pixelColor(box->mapTo(&island.view(), QPoint(4, box->height() / 2))),
        QColor::fromRgbF(pink.redF() * 0.12f, pink.greenF() * 0.12f, pink.blueF() * 0.12f), 3));
    island.window().hide();
}

TEST_F(IslandTest, AHundredSessionsStopAtTheScreensHeightAndScroll) {
    for (int i = 0; i < 100; ++i) {
        start("s" + std::to_string(i));
    }
    island.viewState().setHovering(true);
    EXPECT_EQ(laidOut(), QSize(524, ui::NotchWindow::screenFrame().height()));
    island.window().show();
    QTest::qWait(0);
    auto* scroll = island.view().findChild<QScrollArea*>();
    ASSERT_NE(scroll, nullptr);
    const auto rows = scroll->widget()->findChildren<ui::SessionRow*>();
    ASSERT_EQ(rows.size(), 100);
    QScrollBar* bar = scroll->verticalScrollBar();
    ASSERT_GT(bar->maximum(), 0);
    bar->setValue(bar->maximum());
    const QRect last(rows.back()->mapTo(scroll->viewport(), QPoint(0, 0)), rows.back()->size());
    EXPECT_TRUE(scroll->viewport()->rect().contains(last));
    island.window().hide();
}

// A lap at a few moments: the creature in its done pose and the sparks behind
// it exactly where the lap's geometry puts them, and nothing else.
TEST(LapView, DrawsTheCreatureAndSparksWhereTheLapPutsThem) {
    const VictoryLap lap;
    const NotchGeometry geo = NotchGeometry::noNotch();
    double now = 10;
    ui::LapView view(geo);
    view.setTimeSource([&now] { return now; });
    view.resize(500, 80);  // the expanded island's inner width
    view.show();
    view.start(Source::codex);
    // The strip: 464 wide centred in 500, 8 high below the 32-point band.
    const QPointF strip(18, 32);
    const double stripHeight = 8;

    for (double p : {0.0, 0.37, 0.62, 1.0}) {
        now = 10 + p * lap.duration;
        const VictoryLap::Point at = lap.spritePosition(p);
        const QPoint creatureAt(static_cast<int>(strip.x() + at.x),
                                static_cast<int>(strip.y() + stripHeight - lap.creature + at.y));
        ASSERT_TRUE(eventually([&] {  // the next frame tick moves it
            QTest::qWait(5);
            return view.findChild<ui::SpriteView*>()->pos() == creatureAt;
        }));
        QImage image(view.size(), QImage::Format_ARGB32);
        image.fill(Qt::transparent);
        view.render(&image, QPoint(), QRegion(), QWidget::DrawChildren);

        const QRect creatureBox(creatureAt, QSize(22, 22));
        QRegion sparkSquares;
        const auto sparks = lap.visibleSparks(p, stripHeight);
        EXPECT_EQ(sparks.empty(), p == 0.0) << p;
        for (const auto& spark : sparks) {
            const QPointF origin = strip + QPointF(spark.origin.x, spark.origin.y);
            sparkSquares += QRect(origin.toPoint() - QPoint(1, 1), QSize(5, 5));
            const QPoint centre(static_cast<int>(origin.x() + 1.5),
                                static_cast<int>(origin.y() + 1.5));
            if (creatureBox.contains(centre)) {
                continue;  // the creature runs over it
            }
            const QColor seen = image.pixelColor(centre);
            EXPECT_NEAR(seen.alphaF(), spark.opacity, 0.02) << "spark " << spark.index;
            const QColor colour[] = {ui::Palette::green(), ui::Palette::yellow(),
                                     ui::Palette::pink()};
            EXPECT_TRUE(spark.opacity < 0.5 || near(seen, colour[spark.index % 3], 6))
                << "spark " << spark.index;
        }

        // The creature, pixel for pixel where no spark lies beneath it.
        QImage creature(22, 22, QImage::Format_ARGB32);
        creature.fill(Qt::transparent);
        {
            QPainter painter(&creature);
            painter.setRenderHint(QPainter::Antialiasing);
            ui::paintSprite(painter, QRectF(0, 0, 22, 22), SpriteKind::done, Source::codex, now,
                            ui::spriteTint(SpriteKind::done));
        }
        int compared = 0;
        for (int y = 0; y < 22; ++y) {
            for (int x = 0; x < 22; ++x) {
                const QPoint pixel = creatureAt + QPoint(x, y);
                if (qAlpha(creature.pixel(x, y)) > 0 && !sparkSquares.contains(pixel)) {
                    ++compared;
                    EXPECT_EQ(image.pixel(pixel), creature.pixel(x, y))
                        << "p=" << p << " at " << x << "," << y;
                }
            }
        }
        EXPECT_GT(compared, 60);
        const QRegion drawnHere = sparkSquares + creatureBox;
        for (int y = 0; y < image.height(); ++y) {
            for (int x = 0; x < image.width(); ++x) {
                if (!drawnHere.contains(QPoint(x, y))) {
                    ASSERT_EQ(qAlpha(image.pixel(x, y)), 0) << "p=" << p << " " << x << "," << y;
                }
            }
        }
    }
}

}  // namespace
}  // namespace vorla::test
