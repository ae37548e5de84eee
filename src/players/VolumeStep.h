#pragma once

// The volume scripts' rule, in percent: up is +10 below 90, else 100; down
// is -10 above 10, else 1 (never silent). Shared by the simulated players
// and the system volume so the two cannot drift apart.
int steppedVolume(int current, bool up);
