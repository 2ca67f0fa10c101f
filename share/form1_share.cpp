// The six share buttons and the About label: each opens its fixed address in the browser.
#include "app/form1.h"

#include "share/share_links.h"

void Form1::connectShareHandlers() {
    const auto bind = [this](QPushButton* button, ShareLink link) {
        connect(button, &QPushButton::clicked, this, [link] { openShareLink(link); });
    };
    bind(cmdFacebook, ShareLink::Facebook);
    bind(cmdTwitter, ShareLink::Twitter);
    bind(cmdDelicious, ShareLink::Delicious);
    bind(cmdDig, ShareLink::Digg);
    bind(cmdStumbleUpon, ShareLink::StumbleUpon);
    bind(cmdReddit, ShareLink::Reddit);
    lblAbout->installEventFilter(this);
}

void Form1::lblAbout_Click() {
    openShareLink(ShareLink::About);
}
