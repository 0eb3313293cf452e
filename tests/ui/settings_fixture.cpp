#include "settings_fixture.h"

#include <QAbstractButton>
#include <QCheckBox>
#include <QDeadlineTimer>
#include <QLabel>
#include <QThread>
#include <QThreadPool>

#include "engine/support/calendar.h"
#include "support/eventually.h"
#include "ui/settings/audit_list.h"
#include "ui/widgets/flat_button.h"

namespace vorla::ui::test {

namespace {

// A Wednesday, 12:00 local time: a full morning fits on the Today axis.
WallTime fixedNoon() {
    std::tm noon{};
    noon.tm_year = 2026 - 1900;
    noon.tm_mon = 2;
    noon.tm_mday = 11;
    noon.tm_hour = 12;
    noon.tm_isdst = -1;
    return std::chrono::system_clock::from_time_t(std::mktime(&noon));
}

}  // namespace

bool waitFor(const std::function<bool()>& condition, int timeoutMs) {
    return vorla::test::eventually(
        [&] {
            if (condition()) {
                return true;
            }
            QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
            QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
            return false;
        },
        std::chrono::milliseconds(timeoutMs));
}

// Not hidden on purpose up to `root`. Widgets added to a page on screen are
// shown by a queued call, so "not yet shown" counts as shown.
bool onPage(QWidget* widget, QWidget* root) {
    for (QWidget* w = widget; w != nullptr && w != root; w = w->parentWidget()) {
        if (w->isHidden() && w->testAttribute(Qt::WA_WState_ExplicitShowHide)) {
            return false;
        }
    }
    return true;
}

QStringList shownTexts(QWidget* root) {
    QStringList texts;
    for (QWidget* widget : root->findChildren<QWidget*>()) {
        if (!onPage(widget, root)) {
            continue;
        }
        if (auto* label = qobject_cast<QLabel*>(widget); label && !label->text().isEmpty()) {
            texts << label->text();
        } else if (auto* button = qobject_cast<FlatButton*>(widget)) {
            texts << button->title();
        } else if (auto* list = qobject_cast<AuditList*>(widget)) {
            for (int i = 0; i < list->rowCount(); ++i) {
                texts << list->row(i).join(QStringLiteral(" | "));
            }
        }
    }
    return texts;
}

bool shows(QWidget* root, const QString& text) {
    return shownTexts(root).contains(text);
}

void clickButton(QWidget* root, const QString& title) {
    for (auto* button : root->findChildren<FlatButton*>()) {
        if (button->title() == title && onPage(button, root)) {
            button->click();
            return;
        }
    }
    ADD_FAILURE() << "no button " << title.toStdString() << " in "
                  << shownTexts(root).join(QStringLiteral(", ")).toStdString();
}

SettingsFixture::SettingsFixture()
    : clock_(fixedNoon()),
      context_{store_,
               installer_,
               prefs_,
               rules_,
               auditLog_,
               remote_,
               game_,
               clock_,
               [this](const std::string& f) { opened_.push_back(f); },
               [this](const std::string& f) { revealed_.push_back(f); },
               {}} {}

SettingsFixture::~SettingsFixture() {
    window_.reset();
    // Work still running reads the stores, which go next; its results are
    // dropped here.
    QThreadPool::globalInstance()->waitForDone();
    QCoreApplication::processEvents();
}

void SettingsFixture::startSession(const std::string& id, const std::string& cwd, Source source) {
    Event event;
    event.id = id + "-start";
    event.source = source;
    event.event = Canonical::sessionStart;
    event.rawEvent = "SessionStart";
    event.sessionID = id;
    event.cwd = cwd;
    event.ts = toEpochSeconds(clock_.now());
    store_.apply(event);
}

void SettingsFixture::record(const std::string& kind, const std::string& tool,
                             const std::string& detail, int minutesAgo, const std::string& project,
                             const std::string& session, std::optional<int> risk) {
    AuditEntry entry{clock_.now() - std::chrono::minutes(minutesAgo),
                     "claude",
                     session,
                     project,
                     AuditKind::tool,
                     tool,
                     detail,
                     risk};
    entry.setKind(kind);
    auditLog_.record(entry);
}

SettingsWindow& SettingsFixture::window(SettingsTab tab) {
    if (!window_) {
        window_ = std::make_unique<SettingsWindow>(context_, tab);
        window_->setAttribute(Qt::WA_DeleteOnClose, false);
        window_->show();
    }
    return *window_;
}

}  // namespace vorla::ui::test
