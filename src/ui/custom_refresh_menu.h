#pragma once

#include "config/run_options.h"

class QMenu;
class QWidget;

namespace oz::ui {

// The "定制刷新" popup: the Kivra sub-menu with eight check items and the Belmo sub-menu with one.
// Each item's caption is its settings key.
QMenu* createCustomRefreshMenu(QWidget* parent);
void showMenuChecks(QMenu* menu, const config::RunOptions& options);
void readMenuChecks(const QMenu* menu, config::RunOptions& options);

}  // namespace oz::ui
