#include "ui/settings/activity_page.h"

#include <QDir>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QVBoxLayout>

#include "core/paths.h"
#include "engine/records/audit_log.h"
#include "ui/settings/audit_list.h"
#include "ui/settings/background.h"
#include "ui/style/palette.h"
#include "ui/widgets/card.h"
#include "ui/widgets/flat_button.h"

namespace vorla::ui {

namespace {

// The export's outcome as the sentence shown under the button.
QString exportOutcome(const Result<std::string>& path) {
    if (!path) {
        return qstr(path.error().message);
    }
    return QStringLiteral("Saved ") + QFileInfo(qstr(*path)).fileName() +
           QStringLiteral(" to your Desktop.");
}

}  // namespace

ActivityPage::ActivityPage(SettingsContext& context, QWidget* parent)
    : Page(context, QStringLiteral("What your agents did"),
           QStringLiteral("Every tool call and every decision, appended to disk as it happens. "
                          "Useful when you walk away mid-run — and it's what you hand someone who "
                          "asks whether agents can be trusted against production."),
           parent) {
    auto* button = new FlatButton(QStringLiteral("Export CSV"), Palette::text2());
    connect(button, &QAbstractButton::clicked, this, &ActivityPage::exportCSV);
    setHeadAccessory(button);
    auditChanges_ = context_.auditLog.subscribe([this] { rebuild(); });
    rebuild();
}

void ActivityPage::exportCSV() {
    // The worker gets values only: the log itself is the interface thread's.
    runInBackground<QString>(
        this,
        [directory = context_.auditLog.directory()] {
            QDir().mkpath(QString::fromStdString(desktopDirectory()));
            return exportOutcome(exportAuditCSV(directory));
        },
        [this](QString message) {
            exportMessage_ = std::move(message);
            rebuild();
        });
}

void ActivityPage::rebuild() {
    clearBody();
    if (!exportMessage_.isEmpty()) {
        body()->addWidget(textLabel(exportMessage_, Type::caption(), Palette::green()));
    }
    const std::vector<AuditEntry>& entries = context_.auditLog.today();
    if (entries.empty()) {
        body()->addWidget(emptyBox(QStringLiteral("Nothing recorded yet today.")));
        return;
    }
    auto* list = new AuditList();
    list->setEntries(entries);
    body()->addWidget(list);
}

}  // namespace vorla::ui
