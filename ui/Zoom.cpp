#include "Zoom.h"

#include <algorithm>
#include <cmath>
#include <numeric>

namespace vemui {

TZoom::TZoom(qint64 num, qint64 den) {
    const qint64 g = std::gcd(num, den);
    num_ = num / g;
    den_ = den / g;
}

qint64 TZoom::Pick(double p, qint64 size) const {
    const qint64 s = static_cast<qint64>(std::floor(p));
    const qint64 onScreen = Scaled(size);
    const auto under = static_cast<qint64>(std::floor(p * static_cast<double>(den_) / static_cast<double>(num_)));
    if (s >= onScreen) return std::max(under, size);
    const qint64 first = Source(s);
    if (!Reduces()) return first;
    const qint64 end = s + 1 == onScreen ? size : Source(s + 1);
    return std::clamp(under, first, end - 1);
}

QString TZoom::Text() const {
    const double percent = 100.0 * Factor();
    int digits = 3;
    for (double whole = 1000; percent >= whole; whole *= 10) ++digits;
    return QString::number(percent, 'g', digits) + QLatin1Char('%');
}

const QVector<TZoom>& TZoom::Steps() {
    static const QVector<TZoom> steps{{1, 16}, {1, 12}, {1, 8}, {1, 6}, {1, 4},  {1, 3},  {1, 2},
                                      {2, 3},  {1, 1},  {3, 2}, {2, 1}, {3, 1}, {4, 1},  {11, 2},
                                      {8, 1},  {11, 1}, {16, 1}, {22, 1}, {32, 1}};
    return steps;
}

TZoom TZoom::Up() const {
    for (const TZoom& step : Steps())
        if (*this < step) return step;
    return *this;
}

TZoom TZoom::Down() const {
    const QVector<TZoom>& steps = Steps();
    for (auto it = steps.rbegin(); it != steps.rend(); ++it)
        if (*it < *this) return *it;
    return *this;
}

TZoom TZoom::Fit(qint64 roomWidth, qint64 roomHeight, qint64 controlWidth, qint64 controlHeight) {
    controlWidth = std::max<qint64>(controlWidth, 1);
    controlHeight = std::max<qint64>(controlHeight, 1);
    const TZoom across(std::max<qint64>(roomWidth, 1), controlWidth);
    const TZoom down(std::max<qint64>(roomHeight, 1), controlHeight);
    return down < across ? down : across;
}

} // namespace vemui
