// Support toolbox: general user-interface routines the program builds on.
// The implementations use Qt; this header does not, so every part may include it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "platform/platform.h"

// ---------------------------------------------------------------- toolbar
// A strip of image buttons under a panel's menu bar. Each button runs a menu
// item's callback (exactly as choosing the item does) or a control callback.

constexpr int kToolbarButton = 0;
constexpr int kToolbarSeparator = 1;

constexpr int kToolbarNoCallback = 0;
constexpr int kToolbarMenuCallback = 1;
constexpr int kToolbarCtrlCallback = 2;

// Attributes for Toolbar_SetAttribute / Toolbar_GetAttribute.
constexpr int kToolbarAttrShowTooltips = 1; // 1: tooltips shown (the default), 0: none
constexpr int kToolbarAttrVisible = 2;      // 1: shown, 0: hidden
constexpr int kToolbarAttrDimmed = 3;       // 1: every button dimmed
constexpr int kToolbarAttrButtonSize = 4;   // image size in pixels (fit images only)

// Results (0 is success).
constexpr int kToolbarErrBadHandle = -90;     // no such toolbar
constexpr int kToolbarErrBadPanel = -91;      // no such panel, or it cannot hold a toolbar
constexpr int kToolbarErrBadArgument = -92;   // item type, position or attribute invalid
constexpr int kToolbarErrImageNotFound = -94; // image file missing or unreadable

// The default image size when images are fitted to the buttons.
constexpr int kToolbarImageSize = 24;

int Toolbar_New(int parentPanel, int menuBar, const std::string &title, int top, int left,
                int conformToPanel, int fitImages, int *toolbar);
// position: index among the items (separators count) before which the new item
// goes; -1 appends. An image path is relative to the current directory. On
// -94 nothing is inserted.
int Toolbar_InsertItem(int toolbar, int position, int itemType, int active,
                       const std::string &tooltip, int callbackType, int menuItem,
                       CtrlCallbackPtr ctrlCallback, void *callbackData,
                       const std::string &imageFile);
int Toolbar_SetAttribute(int toolbar, int attribute, int value);
int Toolbar_GetAttribute(int toolbar, int attribute, int *value);
int Toolbar_Display(int toolbar);
// Removes the strip from its panel and frees the handle.
int Toolbar_Discard(int toolbar);

int Toolbar_GetNumItems(int toolbar, int *count);
int Toolbar_GetItemInfo(int toolbar, int index, int *itemType, std::string *tooltip);
// Presses item `index` as a click would.
int Toolbar_PressItem(int toolbar, int index);
// The strip's widget (nullptr for a bad handle), for layout and tests.
QWidget *Toolbar_Widget(int toolbar);

// ---------------------------------------------------------------- PCX images
// ZSoft PCX, version 5, run-length encoded. Read: 1 bit (1 or 4 planes),
// 8 bits with the 256-colour palette, and 8 bits in 3 planes (24-bit colour).
// Written: 8 bits with a palette when the image has at most 256 colours, else
// 24-bit in 3 planes.

struct PcxImage {
    int width = 0;
    int height = 0;
    std::vector<std::uint32_t> pixels; // 0xRRGGBB, row by row from the top
};

constexpr int kPcxHeaderSize = 128;
constexpr int kPcxMaxDimension = 16384;

// False, with a reason in *error when given, on anything that is not a
// complete image of a supported kind; never reads outside `data`.
bool PcxDecode(const std::uint8_t *data, std::size_t size, PcxImage *image,
               std::string *error = nullptr);
std::vector<std::uint8_t> PcxEncode(const PcxImage &image);
bool PcxReadFile(const std::string &path, PcxImage *image, std::string *error = nullptr);
bool PcxWriteFile(const std::string &path, const PcxImage &image);

// ---------------------------------------------------------------- scroll bar
// A horizontal (or vertical) scroll bar made from a panel control, for
// moving along a graph's time axis. Left/Right move by the arrow step, Home/End
// go to the ends, Page Up/Page Down move by the page; Tab passes on. The page
// is also the thumb's share: the visible part of what the bar scrolls. After every change
// by the user the callback gets an event from 1 to 6 and the new position in
// eventData1.

constexpr int kScrollBarEventLine = 1;    // arrow button
constexpr int kScrollBarEventPage = 2;    // click in the page area
constexpr int kScrollBarEventDrag = 3;    // thumb dragged
constexpr int kScrollBarEventRelease = 4; // thumb let go
constexpr int kScrollBarEventEnd = 5;     // to the minimum or maximum
constexpr int kScrollBarEventKey = 6;     // a key press (also used by programs after a change)

// Attributes for ScrollBar_SetAttribute / ScrollBar_GetAttribute.
constexpr int kScrollBarAttrPosition = 1;   // minimum .. maximum
constexpr int kScrollBarAttrPage = 2;       // Page Up/Down step and visible width, >= 0
constexpr int kScrollBarAttrMinimum = 3;    // not above the maximum
constexpr int kScrollBarAttrMaximum = 4;    // not below the minimum (equal: nothing to scroll)
constexpr int kScrollBarAttrColour = 5;     // 0 .. 0xFFFFFF
constexpr int kScrollBarAttrLength = 6;     // pixels, 64 .. 32767
constexpr int kScrollBarAttrThickness = 7;  // pixels, 16 .. 32767
constexpr int kScrollBarAttrVertical = 8;   // 0 horizontal, 1 vertical
constexpr int kScrollBarAttrKeyboard = 9;   // 1: takes the keyboard focus when clicked
constexpr int kScrollBarAttrArrowStep = 10; // step of the arrows and Left/Right, >= 1 (1)

// Results (0 is success).
constexpr int kScrollBarErrNotConverted = -95; // no such control, or not a scroll bar
constexpr int kScrollBarErrBadAttribute = -96;
constexpr int kScrollBarErrOutOfRange = -97; // the value is refused; nothing changed

int ScrollBar_ConvertFromGraph(int panel, int control, CtrlCallbackPtr callback);
int ScrollBar_SetAttribute(int panel, int control, int attribute, int value);
int ScrollBar_GetAttribute(int panel, int control, int attribute, int *value);
