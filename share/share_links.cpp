#include "share/share_links.h"

#include "base/product.h"

#include <QDesktopServices>
#include <QUrl>

QString productAddress() {
    return QStringLiteral("http://") + kProductDomain;
}

QString shareAddress(ShareLink link) {
    const QString product = productAddress();
    const QString title = QStringLiteral("&title=") + kProductName;
    switch (link) {
    case ShareLink::Facebook:
        return QStringLiteral("http://") + kFacebookHost +
               QStringLiteral("/sharer/sharer.php?u=http%3A%2F%2F") + kProductDomain;
    case ShareLink::Twitter:
        return QStringLiteral("https://") + kTwitterHost + QStringLiteral("/home?status=") +
               kProductName + QStringLiteral("%20-%20") + product;
    case ShareLink::Delicious:
        return QStringLiteral("https://") + kDeliciousHost +
               QStringLiteral("/login?lo_action=save&next=http%3A%2F%2F") + kDeliciousHost +
               QStringLiteral("%2Fpost%3Furl%3Dhttp%3A%2F%2F") + kProductDomain +
               QStringLiteral("%26title%3D") + kProductName +
               QStringLiteral("%3Flog%3Dout%26url%3Dhttp%253A%252F%252F") + kProductDomain +
               QStringLiteral("%26title%3D") + kProductName;
    case ShareLink::Digg:
        return QStringLiteral("http://") + kDiggHost + QStringLiteral("/submit?phase=2&url=") +
               product + title;
    case ShareLink::StumbleUpon:
        return QStringLiteral("http://") + kStumbleUponHost + QStringLiteral("/submit?url=") +
               product + title;
    case ShareLink::Reddit:
        return QStringLiteral("http://") + kRedditHost + QStringLiteral("/submit?url=") + product +
               title;
    case ShareLink::About:
        return product;
    }
    return product;
}

void openShareLink(ShareLink link) {
    QDesktopServices::openUrl(QUrl::fromEncoded(shareAddress(link).toLatin1(), QUrl::StrictMode));
}
