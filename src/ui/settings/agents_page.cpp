#include "ui/settings/agents_page.h"

#include <QCheckBox>
#include <QHBoxLayout>
#include <QVBoxLayout>

#include "engine/installer/installer.h"
#include "engine/policy/prefs.h"
#include "ui/style/palette.h"
#include "ui/widgets/card.h"
#include "ui/widgets/flat_button.h"

namespace vorla::ui {

namespace {

QString statusText(const Installer::Status& status) {
    using Case = Installer::Status::Case;
    switch (status.kind) {
        case Case::installed:
            return QStringLiteral("watching");
        case Case::conflict:
            return qstr(status.payload) + QStringLiteral(" owns the hooks");
        case Case::notInstalled:
            return QStringLiteral("hooks not installed");
        case Case::notFound:
            return QStringLiteral("not installed on this computer");
        case Case::unsupported:
        case Case::untrusted:
            return qstr(status.payload);
    }
    return {};
}

// Where the desktop ignores autostart entries the switch cannot work alone:
// the line to add, selectable for copying.
QLabel* autostartHint(const std::string& line, QWidget* parent) {
    QLabel* hint = paragraph(
        QStringLiteral("This desktop does not run autostart entries. Add this line to its "
                       "configuration (~/.config/sway/config, ~/.config/hypr/hyprland.conf):\n") +
            QString::fromStdString(line),
        parent);
    hint->setObjectName(QStringLiteral("autostartLine"));
    hint->setTextInteractionFlags(Qt::TextSelectableByMouse);
    return hint;
}

QColor statusColor(const Installer::Status& status) {
    using Case = Installer::Status::Case;
    switch (status.kind) {
        case Case::installed:
            return Palette::green();
        case Case::conflict:
            return Palette::yellow();
        default:
            return Palette::text3();
    }
}

struct Level {
    int value;
    const char* label;
    const char* explanation;
};

// The stored values are the gate's comparison numbers: -1 asks about
// everything, 0 lets trivial verdicts through, 1 also normal ones.
constexpr Level kLevels[] = {
    {-1, "Ask about everything",
     "Every tool call stops you — safest, but noisy with chatty agents."},
    {0, "Auto-approve read-only",
     "Reads and lookups flow; anything that writes or runs still asks."},
    {1, "Trusted (gate only risky)",
     "Reads and in-project edits flow; only network, installs, out-of-project writes, and "
     "destructive commands stop you."},
};

}  // namespace

AgentsPage::AgentsPage(SettingsContext& context, QWidget* parent)
    : Page(context, QStringLiteral("Agents"),
           QStringLiteral("Vorla Agents watches your agents by installing a hook in each one's "
                          "config. Your existing hooks are preserved, and every change is backed "
                          "up first."),
           parent) {
    installerChanges_ = context_.installer.subscribe([this] { rebuild(); });
    prefsChanges_ = context_.prefs.subscribe([this] { rebuild(); });
    rebuild();
}

void AgentsPage::rebuild() {
    clearBody();
    addAgentRows();
    addApprovals();
    addBehaviour();
}

void AgentsPage::addAgentRows() {
    Installer& installer = context_.installer;
    for (const Installer::Agent& agent : installer.agents()) {
        auto* card = new Card(Palette::cardFill(), 12);
        auto* row = new QHBoxLayout();
        auto* names = new QVBoxLayout();
        names->addWidget(textLabel(qstr(agent.name), Type::label(), Palette::text(), card));
        names->addWidget(
            textLabel(statusText(agent.status), Type::caption(), statusColor(agent.status), card));
        row->addLayout(names, 1);
        const Source id = agent.id;
        using Case = Installer::Status::Case;
        auto button = [&](const QString& title, QColor tint, std::function<void()> action) {
            auto* b = new FlatButton(title, tint, FlatButton::Fill::outlined,
                                     FlatButton::Width::fit, card);
            QObject::connect(b, &QAbstractButton::clicked, card, std::move(action));
            row->addWidget(b);
        };
        // Installing again also renews the agent's trust in our hooks.
        if (agent.status.kind == Case::notInstalled || agent.status.kind == Case::untrusted) {
            button(QStringLiteral("Install"), Palette::green(),
                   [this, &installer, id] { act([&] { return installer.install(id); }); });
        } else if (agent.status.kind == Case::conflict) {
            const std::string owner = agent.status.payload;
            button(QStringLiteral("Replace ") + qstr(owner), Palette::yellow(),
                   [this, &installer, id, owner] {
                       act([&] {
                           auto evicted = installer.evict(owner, id);
                           return evicted ? installer.install(id) : evicted;
                       });
                   });
        } else if (agent.status.kind == Case::installed) {
            button(QStringLiteral("Remove"), Palette::pink(),
                   [this, &installer, id] { act([&] { return installer.uninstall(id); }); });
        }
        card->content()->addLayout(row);
        body()->addWidget(card);
    }
    if (!outcome_.isEmpty()) {
        body()->addWidget(textLabel(outcome_, Type::caption(), Palette::text2()));
    }
}

void AgentsPage::act(const std::function<Result<std::string>()>& action) {
    outcome_ = qstr(Installer::outcomeText(action()));
    rebuild();
}

void AgentsPage::addApprovals() {
    body()->addSpacing(14);
    body()->addWidget(textLabel(QStringLiteral("Approvals"), Type::heading(), Palette::text3()));
    body()->addWidget(paragraph(QStringLiteral(
        "How much to let flow without asking. Read-only work flowing freely is what makes the "
        "notch show agents working, instead of stopping you for every command.")));
    auto* choices = new QHBoxLayout();
    Prefs& prefs = context_.prefs;
    const Level* current = nullptr;
    for (const Level& level : kLevels) {
        const bool chosen = prefs.autoApproveLevel() == level.value;
        if (chosen) {
            current = &level;
        }
        auto* button = new FlatButton(
            QString::fromUtf8(level.label), chosen ? Palette::green() : Palette::text2(),
            chosen ? FlatButton::Fill::filled : FlatButton::Fill::outlined,
            FlatButton::Width::wide);
        button->setObjectName(QStringLiteral("level%1").arg(level.value));
        const int value = level.value;
        connect(button, &QAbstractButton::clicked, this,
                [&prefs, value] { prefs.setAutoApproveLevel(value); });
        choices->addWidget(button);
    }
    body()->addLayout(choices);
    if (current != nullptr) {
        body()->addWidget(paragraph(QString::fromUtf8(current->explanation)));
    }
}

void AgentsPage::addBehaviour() {
    body()->addSpacing(14);
    body()->addWidget(textLabel(QStringLiteral("Behaviour"), Type::heading(), Palette::text3()));
    Prefs& prefs = context_.prefs;
    struct Switch {
        const char* title;
        const char* note;
        bool on;
        std::function<void(bool)> set;
        std::optional<std::string> configLine = std::nullopt;
    };
    const Switch switches[] = {
        {"Sound alerts", "8-bit glitch cue when an agent needs you.", prefs.soundEnabled(),
         [&prefs](bool v) { prefs.setSoundEnabled(v); }},
        {"Notify me",
         "A system notification when an agent needs you — for when you're in another Space and "
         "the island is out of sight.",
         prefs.notifyEnabled(), [&prefs](bool v) { prefs.setNotifyEnabled(v); }},
        {"Launch at login", "Start Vorla Agents automatically.",
         context_.loginItemRegistered ? context_.loginItemRegistered() : prefs.launchAtLogin(),
         [&prefs](bool v) { prefs.setLaunchAtLogin(v); }, context_.autostartLine},
    };
    for (const Switch& item : switches) {
        auto* card = new Card(Palette::cardFill(), 12);
        auto* row = new QHBoxLayout();
        auto* texts = new QVBoxLayout();
        texts->addWidget(
            textLabel(QString::fromUtf8(item.title), Type::label(), Palette::text(), card));
        QLabel* note = paragraph(QString::fromUtf8(item.note), card);
        texts->addWidget(note);
        if (item.configLine) {
            texts->addWidget(autostartHint(*item.configLine, card));
        }
        row->addLayout(texts, 1);
        auto* box = new QCheckBox(card);
        box->setObjectName(QString::fromUtf8(item.title));
        box->setChecked(item.on);
        // The platform's indicator is dark on dark here: an outline, filled when on.
        box->setStyleSheet(
            QStringLiteral("QCheckBox::indicator { width: 16px; height: 16px; border-radius: 4px;"
                           " border: 2px solid rgba(255, 255, 255, 110); }"
                           "QCheckBox::indicator:checked { background: %1; border-color: %1; }")
                .arg(Palette::green().name()));
        connect(box, &QCheckBox::toggled, this, [set = item.set](bool v) { set(v); });
        row->addWidget(box);
        card->content()->addLayout(row);
        body()->addWidget(card);
    }
}

}  // namespace vorla::ui
