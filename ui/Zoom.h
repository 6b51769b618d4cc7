// The zoom of the image windows: one exact ratio shared by the three windows,
// and the one mapping between screen pixels and picture pixels that both the
// drawing and the picking read, so the pixel picked is the pixel drawn.
#pragma once

#include <QString>
#include <QVector>

namespace vemui {

// Screen pixels per picture pixel as an exact fraction NUM / DEN, both
// positive. The steps are small fractions; a fitted zoom is a window's room
// over its picture control's size, so products of a coordinate with either
// part stay far inside 64 bits for any picture a store can hold.
class TZoom {
public:
    TZoom() = default;
    TZoom(qint64 num, qint64 den);

    qint64 Num() const { return num_; }
    qint64 Den() const { return den_; }
    bool IsOne() const { return num_ == den_; }
    bool Reduces() const { return num_ < den_; }
    double Factor() const { return static_cast<double>(num_) / static_cast<double>(den_); }
    bool operator==(const TZoom& other) const { return num_ * other.den_ == other.num_ * den_; }
    bool operator<(const TZoom& other) const { return num_ * other.den_ < other.num_ * den_; }

    // A length of SIZE picture pixels on the screen, rounded up.
    qint64 Scaled(qint64 size) const { return (size * num_ + den_ - 1) / den_; }
    // The first picture pixel that screen pixel S shows: the one under the
    // screen pixel's leading edge. Below 100 % screen pixel S shows the
    // average of the pixels from Source(S) up to Source(S + 1) (at least one),
    // the last screen pixel of a picture up to the picture's end; at and above
    // 100 % it shows Source(S) alone, so every picture pixel is a whole block.
    qint64 Source(qint64 s) const { return s * den_ / num_; }
    // The picture pixel under a pointer at screen position P (fractional,
    // from the picture's top-left) of a picture of SIZE pixels: the screen
    // pixel's own pixel, or below 100 % the one of its box the pointer lies
    // over. SIZE or more when the pointer is beyond the picture.
    qint64 Pick(double p, qint64 size) const;

    // "100%", "6.25%", "33.3%": three significant digits, never fewer than
    // the whole percent has.
    QString Text() const;

    // The zoom steps from 1/16 to 32, in increasing order.
    static const QVector<TZoom>& Steps();
    // The next step above (below) this zoom; this zoom itself at the end.
    TZoom Up() const;
    TZoom Down() const;
    // The largest zoom at which a picture control of CONTROL pixels fits into
    // ROOM pixels on both axes (never 0; 1/CONTROL at least).
    static TZoom Fit(qint64 roomWidth, qint64 roomHeight, qint64 controlWidth, qint64 controlHeight);

private:
    qint64 num_ = 1, den_ = 1;
};

} // namespace vemui
