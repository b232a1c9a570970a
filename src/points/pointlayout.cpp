#include "pointlayout.h"

#include <algorithm>

TblLayout LayoutTblMain(int windowHeight, int cmdHeight, int scrlHeight)
{
    TblLayout l;
    int h = std::max(windowHeight - TblGeometry::AboveViewport - cmdHeight, 1);
    if (scrlHeight < h) {
        h = scrlHeight;
        l.scrollOn = false;
    }
    l.viewportHeight = h;
    l.scrollMax = scrlHeight - h;
    l.cmdTop = windowHeight - cmdHeight - TblGeometry::BelowButtons;
    if (h - TblGeometry::RowPitch > 0) l.largeStep = h - TblGeometry::RowPitch;
    return l;
}

int ShowPointRowValue(int row, int scrollValue, int viewportHeight, int scrollMax)
{
    const int top = TblGeometry::RowPitch * row;
    if (scrollValue > top) return top;
    const int bottom = TblGeometry::RowPitch * (row + 2) - viewportHeight;
    if (bottom > scrollValue) return std::min(bottom, scrollMax);
    return scrollValue;
}
