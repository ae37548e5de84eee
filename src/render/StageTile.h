#pragma once

#include <QRectF>

// One tile of the Mosaic theme, or one line slot of the Lyrics theme: where
// it goes, in its drawing view's points (y up), and its age in frames
// (negative: not due yet). The stage owns the tiles and ages them every
// frame; the layout sets them and the drawing views read them.
struct StageTile
{
    QRectF frame;
    float counter = 0;
};
