// Recording store, plotting, derived displays, moving average, scales and colours.
#pragma once

// The seven display colours, 0xRRGGBB, in settings-file order: curve,
// graph background, active title bar, cursor 1, cursor 2, graticule, spare.
extern int displayColours[7];
