#pragma once

// Window geometry and plot drawing are given in twips (1/1440 inch). At 100%
// display scale 15 twips make one pixel; higher scales are applied by the
// toolkit on top of these pixels.
inline constexpr int twipsPerPixel = 15;

// The one rounding rule used for controls and drawing alike: to the nearest
// pixel (15 is odd, so there is never a tie). Using it everywhere puts a bar
// drawn at x twips on the same column as a control placed at x twips.
constexpr int twipsToPixels(int twips)
{
    const int shifted = twips + twipsPerPixel / 2;
    const int quotient = shifted / twipsPerPixel;
    return (shifted % twipsPerPixel < 0) ? quotient - 1 : quotient; // floor division
}
