// The platform's folder dialog.
#pragma once

#include <QString>

class QWidget;

// Lets the user pick an existing folder under the prompt; its path in the platform's form, or an
// empty string when the dialog is cancelled.
QString BrowseForFolder(QWidget* owner, const QString& prompt);
