// SIGTERM and SIGINT close the window as its close button does, so that a run in progress is
// stopped and nothing is left behind; the closing steps run on the window thread.
#pragma once

class QWidget;

// Installs the handlers; window is closed (QWidget::close) when either signal arrives.
void closeOnQuitSignals(QWidget* window);
