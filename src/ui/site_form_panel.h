#pragma once

#include <QObject>
#include <vector>

#include "backend/site_form.h"
#include "config/site_config.h"
#include "ui/ui_services.h"

class QGroupBox;
class QWidget;

namespace oz::ui {

// The site form: every control bound to a SiteConfig field through the binding table
// (site_bindings), in four parts the window places: the connection fields (域名 … 协议) under the
// site list, the article options (beside which the category panel sits), the article file options
// and the enhancements. It also holds the dependent-enabling rules, the list dialogs of the list
// buttons, the folder chooser and the title colour picker.
//
// The controls are found by name under `scope` (the main window's central widget).
class SiteFormPanel final : public QObject {
    Q_OBJECT
   public:
    SiteFormPanel(const UiServices& services, QWidget* scope);

    QWidget* buildConnectionFields();
    // The frame 分组框发帖选项1 with `beside` (the category panel) on its right.
    QGroupBox* buildArticleOptions(QWidget* beside);
    QGroupBox* buildFileOptions();
    QGroupBox* buildEnhancements();
    // Call once every part is built and placed.
    void connectRules();

    // Fills the bound controls from the record (the category tree aside) and applies the rules.
    void showSite(const config::SiteConfig& site);
    // The record the controls hold; fields without a control keep the values of `base`.
    config::SiteConfig readSite(config::SiteConfig base = {}) const;
    // The connection fields as a batch operation or a category reading logs in with.
    backend::SiteForm connection() const;

    void applyEnabling();

   signals:
    // A control that the rules watch changed.
    void changed();

   private:
    void editList(const QString& buttonName);
    void chooseArticleFolder();
    void chooseTitleColor(QWidget* picker);

    UiServices m_services;
    QWidget* m_scope;
    std::vector<QWidget*> m_parts;
};

}  // namespace oz::ui
