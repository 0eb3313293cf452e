#include "ui/settings/settings_window.h"

#include <QApplication>
#include <QHBoxLayout>
#include <QShortcut>
#include <QStackedWidget>
#include <QVBoxLayout>

#include "ui/settings/activity_page.h"
#include "ui/settings/agents_page.h"
#include "ui/settings/improve_page.h"
#include "ui/settings/phone_page.h"
#include "ui/settings/rules_page.h"
#include "ui/settings/scores_page.h"
#include "ui/settings/setup_page.h"
#include "ui/settings/sidebar_item.h"
#include "ui/settings/today_page.h"
#include "ui/settings/usage_page.h"
#include "ui/settings/worktrees_page.h"
#include "ui/style/palette.h"

namespace vorla::ui {

namespace {

std::size_t indexOf(SettingsTab tab) {
    return static_cast<std::size_t>(tab);
}

}  // namespace

QString versionText() {
    return QStringLiteral("v" VORLA_VERSION);
}

SettingsWindow::SettingsWindow(SettingsContext context, SettingsTab tab, QWidget* parent)
    : QWidget(parent), context_(std::move(context)), tab_(tab), stack_(new QStackedWidget(this)) {
    setWindowTitle(QStringLiteral("Vorla Agents"));
    setAttribute(Qt::WA_DeleteOnClose);
    resize(920, 700);
    setAutoFillBackground(true);
    QPalette colours = palette();
    colours.setColor(QPalette::Window, Palette::bg());
    colours.setColor(QPalette::Base, Palette::bg());
    colours.setColor(QPalette::WindowText, Palette::text());
    setPalette(colours);

    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(0, 0, 0, 0);
    row->setSpacing(0);
    row->addWidget(buildSidebar());
    row->addWidget(stack_, 1);
    for (std::size_t i = 0; i < kSettingsTabs.size(); ++i) {
        stack_->addWidget(new QWidget(stack_));  // placeholder until the tab is chosen
    }

    auto* closeKey = new QShortcut(QKeySequence::Close, this);
    connect(closeKey, &QShortcut::activated, this, &QWidget::close);
    // Ctrl+Q quits the whole app, as in other Linux apps; the island has no
    // keyboard of its own.
    auto* quitKey = new QShortcut(QKeySequence::Quit, this);
    connect(quitKey, &QShortcut::activated, qApp, &QCoreApplication::quit);
    select(tab);
}

SettingsWindow::~SettingsWindow() = default;

QWidget* SettingsWindow::buildSidebar() {
    auto* side = new QWidget(this);
    side->setFixedWidth(200);
    side->setAutoFillBackground(true);
    QPalette colours = side->palette();
    colours.setColor(QPalette::Window, Palette::sidebar());
    side->setPalette(colours);
    auto* column = new QVBoxLayout(side);
    column->setContentsMargins(8, 40, 8, 16);
    column->setSpacing(2);
    auto* name = new QLabel(QStringLiteral("Vorla Agents"), side);
    name->setFont(Type::label());
    name->setStyleSheet(Palette::css(Palette::text()));
    auto* version = new QLabel(versionText(), side);
    version->setFont(Type::mono(10));
    version->setStyleSheet(Palette::css(Palette::text3()));
    name->setContentsMargins(12, 0, 0, 0);
    version->setContentsMargins(12, 0, 0, 12);
    column->addWidget(name);
    column->addWidget(version);
    for (SettingsTab tab : kSettingsTabs) {
        auto* item = new SidebarItem(tab, side);
        connect(item, &SidebarItem::chosen, this, &SettingsWindow::select);
        items_[indexOf(tab)] = item;
        column->addWidget(item);
    }
    column->addStretch(1);
    return side;
}

Page* SettingsWindow::makePage(SettingsTab tab) {
    switch (tab) {
        case SettingsTab::agents:
            return new AgentsPage(context_);
        case SettingsTab::rules:
            return new RulesPage(context_);
        case SettingsTab::trees:
            return new WorktreesPage(context_);
        case SettingsTab::scores:
            return new ScoresPage(context_);
        case SettingsTab::improve:
            return new ImprovePage(context_);
        case SettingsTab::audit:
            return new ActivityPage(context_);
        case SettingsTab::today:
            return new TodayPage(context_);
        case SettingsTab::usage:
            return new UsagePage(context_);
        case SettingsTab::phone:
            return new PhonePage(context_);
        case SettingsTab::setup:
            return new SetupPage(context_);
    }
    return nullptr;
}

Page* SettingsWindow::page(SettingsTab tab) {
    Page*& slot = pages_[indexOf(tab)];
    if (slot == nullptr) {
        slot = makePage(tab);
        QWidget* placeholder = stack_->widget(static_cast<int>(indexOf(tab)));
        stack_->insertWidget(static_cast<int>(indexOf(tab)), slot);
        stack_->removeWidget(placeholder);
        placeholder->deleteLater();
    }
    return slot;
}

SidebarItem* SettingsWindow::sidebarItem(SettingsTab tab) const {
    return items_[indexOf(tab)];
}

void SettingsWindow::select(SettingsTab tab) {
    if (Page* old = pages_[indexOf(tab_)]; old != nullptr && tab != tab_) {
        old->leave();
    }
    const bool first = pages_[indexOf(tab)] == nullptr;
    Page* shown = page(tab);
    const bool changed = tab != tab_ || first;
    tab_ = tab;
    stack_->setCurrentWidget(shown);
    for (SettingsTab each : kSettingsTabs) {
        items_[indexOf(each)]->setSelected(each == tab);
    }
    if (changed) {
        shown->appear();
    }
}

}  // namespace vorla::ui
