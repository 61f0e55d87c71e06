// The line decimator: a line of any length reduced to what each pixel column can show.
#pragma once

#include <functional>
#include <vector>

// Reduces a line, given point by point in pixels, to what one pixel column can show: of the
// points of a line in a column, the first, the lowest, the highest and the last, in their order,
// so that a spike survives and a million points draw as a few thousand. A line that begins and
// ends within one column (a lone sample between breaks) becomes a dot of the rows it covers,
// merged with the column's other dots, so that no input makes the output grow past the picture.
class Decimator {
  public:
    // Draws to (x, y): a new line when move, else on from the pen's last point.
    using Pen = std::function<void(double x, double y, bool move)>;
    // rows: the plot's height in pixels; rows of dots are 0 .. rows - 1.
    Decimator(int rows, Pen pen);
    // The next point of the line, in pixels from the plot's top left corner.
    void Add(double x, double y);
    // Ends the line; the next point starts a new one.
    void Break();
    // Ends the line and draws everything pending.
    void Finish();

  private:
    struct Point {
        double x, y;
    };
    void DrawPiece();
    void MarkDots();
    void DrawDots();

    Pen pen;
    bool pending = false;   // a line goes on and has points in `column`
    bool joinedIn = false;  // that line came into `column` from an earlier one
    long long column = 0;   // pixel column of the pending points
    Point first{}, low{}, high{}, last{};
    long long lowAt = 0, highAt = 0, count = 0;  // order of the points within the column
    std::vector<unsigned char> dots;             // rows of `dotColumn` covered by dots
    long long dotColumn = 0;
    int dotLo, dotHi;  // the rows of dots set; dotLo > dotHi for none
};
