// The platform's folder dialog.
#pragma once

#include <QString>

class QWidget;

// Lets the user pick an existing folder under the prompt, starting in startFolder; its path in
// the platform's form, or an empty string when the dialog is cancelled.
QString BrowseForFolder(QWidget* owner, const QString& prompt, const QString& startFolder = {});

// Where the chooser starts: the output folder when it is an existing folder, else the home
// folder.
QString chooserStartFolder(const QString& outputFolder);
