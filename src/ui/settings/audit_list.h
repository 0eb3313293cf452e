// Today's audit entries as a painted table (time, agent, kind, tool and
// detail, risk): hundreds of rows cost one paint of the visible ones instead
// of a widget per cell. Interface thread only.
#pragma once

#include <QStringList>
#include <QWidget>
#include <vector>

#include "engine/records/audit_entry.h"

namespace vorla::ui {

class AuditList final : public QWidget {
    Q_OBJECT
  public:
    explicit AuditList(QWidget* parent = nullptr);

    void setEntries(const std::vector<AuditEntry>& entries);
    [[nodiscard]] int rowCount() const { return static_cast<int>(rows_.size()); }
    // The row's cells: "HH:mm:ss", agent, kind, tool and detail, risk.
    [[nodiscard]] QStringList row(int index) const;
    [[nodiscard]] QSize sizeHint() const override;

  protected:
    void paintEvent(QPaintEvent* event) override;

  private:
    struct Row {
        QString time, agent, kind, what, risk;
        int riskLevel = -1;
        AuditKind kindOf = AuditKind::other;
    };
    std::vector<Row> rows_;
    int rowHeight_;
};

}  // namespace vorla::ui
