#include "ui/settings/usage_page.h"

#include <QHBoxLayout>
#include <QPainter>
#include <QVBoxLayout>
#include <algorithm>

#include "engine/usage/compact.h"
#include "ui/settings/background.h"
#include "ui/style/palette.h"
#include "ui/widgets/card.h"

namespace vorla::ui {

namespace {

QString outputTokens(std::int64_t tokens) {
    return qstr(Int::compact(tokens)) + QStringLiteral(" output tokens");
}

// The seven days as bars scaled to the dearest one, today highlighted.
class DayBars final : public QWidget {
  public:
    explicit DayBars(std::vector<UsageSnapshot::DayPoint> days, QWidget* parent = nullptr)
        : QWidget(parent), days_(std::move(days)) {
        setFixedHeight(150);
        setFont(Type::mono(10));
    }

  protected:
    void paintEvent(QPaintEvent*) override {
        QPainter painter(this);
        painter.setRenderHint(QPainter::Antialiasing);
        double top = 0;
        for (const auto& day : days_) {
            top = std::max(top, day.cost);
        }
        const int n = std::max<int>(1, static_cast<int>(days_.size()));
        const double slot = width() / static_cast<double>(n);
        const double barArea = height() - 40.0;
        for (int i = 0; i < static_cast<int>(days_.size()); ++i) {
            const auto& day = days_[static_cast<std::size_t>(i)];
            const double h = top > 0 ? std::max(2.0, day.cost / top * barArea) : 2.0;
            const double x = i * slot;
            QColor fill = day.isToday ? Palette::pink() : QColor::fromRgbF(1, 1, 1, 0.18F);
            painter.setPen(Qt::NoPen);
            painter.setBrush(fill);
            painter.drawRoundedRect(QRectF(x + slot * 0.2, 16 + barArea - h, slot * 0.6, h), 3, 3);
            painter.setPen(day.isToday ? Palette::text() : Palette::text3());
            painter.drawText(QRectF(x, 0, slot, 14), Qt::AlignCenter, dollars(day.cost));
            painter.drawText(QRectF(x, height() - 20.0, slot, 16), Qt::AlignCenter,
                             qstr(day.label));
        }
    }

  private:
    std::vector<UsageSnapshot::DayPoint> days_;
};

}  // namespace

QString dollars(double cost) {
    return QString::asprintf("$%.2f", cost);
}

UsagePage::UsagePage(SettingsContext& context, QWidget* parent)
    : Page(context, QStringLiteral("What your agents cost"),
           QStringLiteral("Read from the transcripts on disk, so it covers every session — not "
                          "just the ones running now. Costs are estimates from public per-token "
                          "rates; your plan may differ."),
           parent) {
    rebuild();
}

void UsagePage::appeared() {
    loading_ = true;
    rebuild();
    const Clock* clock = &context_.clock;
    const std::uint64_t started = visit();
    runInBackground<UsageSnapshot>(
        this,
        [clock] {
            return atLowPriority<UsageSnapshot>([clock] {
                UsageStore store(*clock);
                return store.snapshot(7);
            });
        },
        [this, started](UsageSnapshot snapshot) {
            if (started != visit()) {
                return;
            }
            snapshot_ = std::move(snapshot);
            loading_ = false;
            rebuild();
        });
}

void UsagePage::rebuild() {
    clearBody();
    if (loading_ || !snapshot_) {
        body()->addWidget(emptyBox(QStringLiteral("Reading transcripts…")));
        return;
    }
    addTiles(*snapshot_);
    addDays(*snapshot_);
    addModels(*snapshot_);
    body()->addWidget(paragraph(QStringLiteral(
        "Claude Code, Codex, Gemini CLI, Copilot CLI, Qwen Code and OpenCode record token usage. "
        "Grok and Kiro don't expose it, so they're absent here rather than shown as zero.")));
    if (!snapshot_->unpricedModels.empty()) {
        QStringList names;
        for (const std::string& model : snapshot_->unpricedModels) {
            names << qstr(model);
        }
        body()->addWidget(
            paragraph(QStringLiteral("No known price for ") + names.join(QStringLiteral(", ")) +
                      QStringLiteral(": their tokens are counted, their cost is not.")));
    }
}

void UsagePage::addTiles(const UsageSnapshot& snapshot) {
    auto* row = new QHBoxLayout();
    row->addWidget(tile(QStringLiteral("Today"), dollars(snapshot.todayCost),
                        outputTokens(snapshot.today.output), QStringLiteral("estimated")));
    row->addWidget(tile(QStringLiteral("7 days"), dollars(snapshot.weekCost),
                        outputTokens(snapshot.week.output), QStringLiteral("estimated")));
    body()->addLayout(row);
}

void UsagePage::addDays(const UsageSnapshot& snapshot) {
    body()->addWidget(textLabel(QStringLiteral("Last 7 days"), Type::heading(), Palette::text3()));
    auto* card = new Card(Palette::cardFill(), 12);
    card->content()->addWidget(new DayBars(snapshot.daily, card));
    body()->addWidget(card);
}

void UsagePage::addModels(const UsageSnapshot& snapshot) {
    body()->addWidget(
        textLabel(QStringLiteral("By model · 7 days"), Type::heading(), Palette::text3()));
    for (const auto& model : snapshot.weekByModel) {
        auto* card = new Card(Palette::cardFill(), 10);
        auto* row = new QHBoxLayout();
        auto* texts = new QVBoxLayout();
        texts->addWidget(textLabel(qstr(model.model), Type::label(), Palette::text(), card));
        texts->addWidget(textLabel(QString::number(model.usage.messages) + QStringLiteral(" msgs"),
                                   Type::caption(), Palette::text3(), card));
        row->addLayout(texts, 1);
        row->addWidget(textLabel(QStringLiteral("in ") + qstr(Int::compact(model.usage.input)) +
                                     QStringLiteral(" · out ") +
                                     qstr(Int::compact(model.usage.output)),
                                 Type::caption(), Palette::text2(), card));
        row->addWidget(textLabel(model.priced ? dollars(model.cost) : QStringLiteral("unknown"),
                                 Type::mono(14, QFont::Bold),
                                 model.priced ? Palette::green() : Palette::text3(), card));
        card->content()->addLayout(row);
        body()->addWidget(card);
    }
}

}  // namespace vorla::ui
