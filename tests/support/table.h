// The columns of a data-driven test at once: columns<QString, int>({"name", "count"}).
#pragma once

#include <QTest>

#include <array>

template <typename... T> void columns(const std::array<const char*, sizeof...(T)>& names) {
    std::size_t i = 0;
    (QTest::addColumn<T>(names[i++]), ...);
}
