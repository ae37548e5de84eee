#pragma once

// The progress bar as the now-playing engine leaves it after a frame, in
// seconds. The stage takes one after every frame.
struct ProgressSnapshot
{
    bool shown = false;
    double maximum = 0;
    double value = 0;
};
