// The text's colour cycle: 192 hues, six ramps of 32 between blue, cyan, green, yellow,
// red and magenta, channel levels in steps of 8 up to 248.
#pragma once

// Fills g_app.colorTable; each ramp's last entry equals the next ramp's first.
void BuildColorTable();
