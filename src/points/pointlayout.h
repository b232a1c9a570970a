#pragma once
// Geometry of the point table window, in twips: the rows of fields in the
// scrolled viewport, the viewport that follows the window's height, and the
// scrolling that brings a row into view.

#include <optional>

namespace TblGeometry {
inline constexpr int RowPitch = 360;      // rows stand this far apart
inline constexpr int FieldTop = 120;      // top of row 0's fields
inline constexpr int FieldHeight = 330;
inline constexpr int ScrlHeight = 11775;  // holds all 32 rows
inline constexpr int LoadWidth = 6090;
inline constexpr int LoadHeight = 4935;
inline constexpr int MinWidth = 6090;     // held while the window is in its normal state
inline constexpr int MinHeight = 3135;
inline constexpr int AboveViewport = 1200;  // window height not given to the viewport or the buttons
inline constexpr int BelowButtons = 600;    // from the buttons' bottom to the window's bottom
}  // namespace TblGeometry

// Top of row r's fields in the scrolled picture.
constexpr int PointRowTop(int row) { return TblGeometry::FieldTop + TblGeometry::RowPitch * row; }

struct TblLayout {
    int viewportHeight = 1;  // of the viewport and of the scroll bar
    bool scrollOn = true;    // off when every row fits
    int scrollMax = 0;
    int cmdTop = 0;          // top of the button strip
    std::optional<int> largeStep;  // nothing: the large step stays as it was
};

// The layout for a window of the given height.
TblLayout LayoutTblMain(int windowHeight, int cmdHeight, int scrlHeight = TblGeometry::ScrlHeight);

// A side of a window in its normal state, raised to its minimum.
constexpr int HoldToMinimum(int length, int minimum) { return length < minimum ? minimum : length; }

// The scroll value that brings row r into view: the row comes to the top when
// it lies above, and the row below it ends at the bottom when it lies below.
int ShowPointRowValue(int row, int scrollValue, int viewportHeight, int scrollMax);
