// The fixed web addresses of the About label and the six share buttons. They carry nothing of
// the user's: the same address on every click.
#pragma once

#include <QString>

enum class ShareLink { Facebook, Twitter, Delicious, Digg, StumbleUpon, Reddit, About };

inline const QString kFacebookHost = QStringLiteral("www.facebook.com");
inline const QString kTwitterHost = QStringLiteral("twitter.com");
inline const QString kDeliciousHost = QStringLiteral("www.delicious.com");
inline const QString kDiggHost = QStringLiteral("digg.com");
inline const QString kStumbleUponHost = QStringLiteral("www.stumbleupon.com");
inline const QString kRedditHost = QStringLiteral("www.reddit.com");

// "http://" and the product's web domain, with no path.
QString productAddress();

// The address as the browser is given it, already percent-encoded where it must be.
QString shareAddress(ShareLink link);

// Hands the address to the desktop, which opens it in the default browser.
void openShareLink(ShareLink link);
