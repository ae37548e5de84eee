#include "players/VolumeStep.h"

int steppedVolume(int current, bool up)
{
    if (up)
        return current < 90 ? current + 10 : 100;
    return current > 10 ? current - 10 : 1;
}
