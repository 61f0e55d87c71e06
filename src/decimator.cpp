// The line decimator: a line of any length reduced to what each pixel column can show.
#include "decimator.h"

#include <algorithm>
#include <climits>
#include <cmath>

Decimator::Decimator(int rows, Pen pen)
    : pen(std::move(pen)),
      dots(static_cast<std::size_t>(std::max(rows, 1))),
      dotLo(INT_MAX),
      dotHi(-1) {}

void Decimator::Add(double x, double y) {
    long long c = static_cast<long long>(std::floor(std::clamp(x, -1e15, 1e15)));
    Point point = {x, y};
    if (pending && c == column) {
        last = point;
        if (y < low.y) low = point, lowAt = count;
        if (y > high.y) high = point, highAt = count;
        ++count;
        return;
    }
    if (pending) DrawPiece();  // the line goes on into another column
    joinedIn = pending;
    pending = true;
    column = c;
    first = low = high = last = point;
    lowAt = highAt = 0;
    count = 1;
}

void Decimator::Break() {
    if (!pending) return;
    if (joinedIn)
        DrawPiece();
    else
        MarkDots();
    pending = false;
}

void Decimator::Finish() {
    Break();
    DrawDots();
}

void Decimator::DrawPiece() {
    pen(first.x, first.y, !joinedIn);
    Point a = low, b = high;
    long long aAt = lowAt, bAt = highAt;
    if (bAt < aAt) std::swap(a, b), std::swap(aAt, bAt);
    if (aAt > 0 && aAt < count - 1) pen(a.x, a.y, false);
    if (bAt > aAt && bAt < count - 1) pen(b.x, b.y, false);
    if (count > 1) pen(last.x, last.y, false);
}

void Decimator::MarkDots() {
    if (column != dotColumn) DrawDots();
    dotColumn = column;
    int rows = static_cast<int>(dots.size());
    auto row = [rows](double y) {
        return static_cast<int>(std::clamp(std::floor(y), 0.0, rows - 1.0));
    };
    int from = row(low.y), to = row(high.y);
    std::fill(dots.begin() + from, dots.begin() + to + 1, 1);
    dotLo = std::min(dotLo, from);
    dotHi = std::max(dotHi, to);
}

void Decimator::DrawDots() {
    double x = static_cast<double>(dotColumn) + 0.5;
    for (int row = dotLo; row <= dotHi; ++row) {
        if (!dots[row]) continue;
        int end = row;
        while (end + 1 <= dotHi && dots[end + 1]) ++end;
        pen(x, row + 0.5, true);
        pen(x, end + 0.5, false);  // a single row draws as a round dot
        std::fill(dots.begin() + row, dots.begin() + end + 1, 0);
        row = end;
    }
    dotLo = INT_MAX;
    dotHi = -1;
}
