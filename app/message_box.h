// Every message box of the program goes through showMessage, so that a test can watch and answer
// them without a person.
#pragma once

#include <QString>

#include <functional>

class QWidget;

inline constexpr int MsgCritical = 16;
inline constexpr int MsgExclamation = 48;
inline constexpr int MsgInformation = 64;

struct ShownMessage {
    QString text;
    int style = 0;
    QString title;
    bool question = false; // Yes and No buttons instead of OK
    bool yes = false;      // a question's answer: a handler may set it; No is the default
};

// A modal box with one OK button and the icon of the style; an empty title becomes "Quillet".
void showMessage(QWidget* parent, const QString& text, int style, const QString& title = {});

// A modal box with Yes and No, No the default; true when the answer is Yes.
bool askYesNo(QWidget* parent, const QString& text, int style, const QString& title = {});

// For tests: boxes go to the handler instead of the screen, which may answer a question. An
// empty function restores the boxes.
void setMessageHandler(std::function<void(ShownMessage&)> handler);
