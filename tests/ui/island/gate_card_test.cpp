// The gate card's forms and its Allow order, drawn offscreen.
#include "ui/island/gate_card.h"

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QPushButton>
#include <QTest>

#include "engine/look/gate_card_look.h"

namespace vorla::test {
namespace {

using ui::GateCard;

std::shared_ptr<Gate> gateWith(Risk risk, std::string detail = "npm test") {
    auto gate = std::make_shared<Gate>();
    gate->id = "g1";
    gate->toolName = "Bash";
    gate->detail = std::move(detail);
    gate->risk = {risk, {"because"}};
    return gate;
}

class GateCardTest : public ::testing::Test {
  protected:
    std::unique_ptr<GateCard> card(Risk risk, std::string detail = "npm test") {
        GateCard::Actions actions{
            .decide =
                [this](const std::string& id, Behavior b) {
                    calls.push_back(id + (b == Behavior::allow ? " allow" : " deny"));
                },
            .teachRule = [this](const Gate& gate) { calls.push_back("teach " + gate.toolName); },
        };
        auto made = std::make_unique<GateCard>(session, gateWith(risk, std::move(detail)),
                                               std::move(actions));
        made->setAttribute(Qt::WA_TranslucentBackground);  // on the island it has no backdrop
        made->resize(464, made->sizeHint().height());
        return made;
    }

    Session session{"s1", Source::claude, "/work/shop", SystemClock::shared()};
    std::vector<std::string> calls;
};

TEST_F(GateCardTest, OffersAlwaysAllowOnlyForTrivialAndNormalRisk) {
    EXPECT_NE(card(Risk::trivial)->alwaysAllowSwitch(), nullptr);
    EXPECT_NE(card(Risk::normal)->alwaysAllowSwitch(), nullptr);
    EXPECT_EQ(card(Risk::elevated)->alwaysAllowSwitch(), nullptr);
    EXPECT_EQ(card(Risk::critical)->alwaysAllowSwitch(), nullptr);
    EXPECT_EQ(card(Risk::normal)->alwaysAllowSwitch()->text(),
              QStringLiteral("Always allow \"") +
                  QString::fromStdString(RiskEngine::ruleKey("Bash", "npm test")) + "\"");
}

TEST_F(GateCardTest, AllowWithTheSwitchOnTeachesBeforeItDecides) {
    auto plain = card(Risk::normal);
    QTest::mouseClick(plain->allowButton(), Qt::LeftButton);
    EXPECT_EQ(calls, (std::vector<std::string>{"g1 allow"}));

    calls.clear();
    auto taught = card(Risk::normal);
    QTest::mouseClick(taught->alwaysAllowSwitch(), Qt::LeftButton);
    ASSERT_TRUE(taught->alwaysAllowSwitch()->isChecked());
    QTest::mouseClick(taught->allowButton(), Qt::LeftButton);
    EXPECT_EQ(calls, (std::vector<std::string>{"teach Bash", "g1 allow"}));

    calls.clear();
    QTest::mouseClick(taught->denyButton(), Qt::LeftButton);
    EXPECT_EQ(calls, (std::vector<std::string>{"g1 deny"}));  // Deny never teaches
}

TEST_F(GateCardTest, TheBossCardPulsesEveryHalfSecond) {
    auto boss = card(Risk::critical);
    ASSERT_TRUE(boss->isBoss());
    auto alphaAt = [&](double seconds) {
        boss->clock = [seconds] { return seconds; };
        QImage image = boss->grab().toImage();
        return qAlpha(image.pixel(image.width() / 2, image.height() - 4));
    };
    const int even = alphaAt(100.0);  // phase 200: pink at 22 %
    const int odd = alphaAt(100.5);   // phase 201: pink at 12 %
    EXPECT_NEAR(even, 0.22 * 255, 3);
    EXPECT_NEAR(odd, 0.12 * 255, 3);
    EXPECT_FALSE(card(Risk::elevated)->isBoss());
}

}  // namespace
}  // namespace vorla::test
