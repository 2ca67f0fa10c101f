// Fixed names of the product.
#pragma once

#include <QString>

// The product's web domain: names the settings store and the About page.
inline const QString kProductDomain = QStringLiteral("quilletaudio.com");
inline const QString kProductName = QStringLiteral("Quillet");
