#pragma once

#include <QPointF>
#include <QRectF>

// The layout of one display cycle, as the theme layouts leave it: the base
// sizes and where every view goes. View points, y up, origin bottom left.
// Value type; the stage owns the current one, the frame hooks and the
// re-pose operations read it until the next layout.
struct StageGeometry
{
    float imagesize = 0; // S, the artwork's edge
    float fontsize = 0;  // F
    float margin = 0;    // M
    // 1: cover on the left, text to its right, left-aligned; 0: the mirror.
    int alignment = 0;
    QPointF randomPoint; // the cover's bottom-left corner
    QRectF labelRect;
    QRectF progressRect;
    QRectF coverViewRect;
    QRectF reflectionRect;
    QPointF coverViewAnchor{0.5, 0.5};
    QPointF reflectionViewAnchor{0.5, 0.5};
    // The drifting themes: the cover's drift per frame, in points; the frame
    // loop moves it 400 times this over a cycle.
    float kenBurnsX = 0;
    float kenBurnsY = 0;
};
