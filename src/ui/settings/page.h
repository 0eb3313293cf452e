// The frame every settings page shares: a section head, a short blurb, then
// the page's body in a scroll area. Pages rebuild their body from the engine
// whenever what they show changes.
//
// Interface thread only. appeared() runs each time the page comes to the
// front, left() when another page takes its place; work started by a visit
// checks visit() so that a result arriving after the page was left is
// dropped.
#pragma once

#include <QLabel>
#include <QWidget>
#include <cstdint>

#include "ui/settings/settings_context.h"

class QVBoxLayout;

namespace vorla::ui {

class Page : public QWidget {
    Q_OBJECT
  public:
    Page(SettingsContext& context, const QString& head, const QString& blurb,
         QWidget* parent = nullptr);

    void appear();
    void leave();
    [[nodiscard]] std::uint64_t visit() const { return visit_; }

  protected:
    virtual void appeared() {}
    // Removes every widget of the body.
    void clearBody();
    [[nodiscard]] QVBoxLayout* body() const { return body_; }
    // Puts the head's right-hand side (a "Rescan" button).
    void setHeadAccessory(QWidget* widget);

    SettingsContext& context_;

  private:
    QVBoxLayout* body_;
    QWidget* headRow_;
    std::uint64_t visit_ = 0;
};

// Building blocks for page bodies.
[[nodiscard]] QLabel* textLabel(const QString& text, const QFont& font, const QColor& color,
                                QWidget* parent = nullptr);
// A wrapping paragraph.
[[nodiscard]] QLabel* paragraph(const QString& text, QWidget* parent = nullptr);
// The empty-state box with the page's empty text.
[[nodiscard]] QWidget* emptyBox(const QString& text, QWidget* parent = nullptr);
// A figure tile: caption above a large value, optional note and badge below.
[[nodiscard]] QWidget* tile(const QString& caption, const QString& value, const QString& note = {},
                            const QString& badge = {}, QWidget* parent = nullptr);
[[nodiscard]] QString qstr(const std::string& text);
// `path` with the home directory shown as "~".
[[nodiscard]] QString tildePath(const std::string& path);

}  // namespace vorla::ui
