#pragma once
// Where everything sits on the updater window, in pixels at 96 dots per inch,
// relative to the client area's top-left corner (the window has no frame).
namespace velmora::layout {

struct Rect {
    int left, top, width, height;
    int right() const { return left + width; }
    int bottom() const { return top + height; }
};

inline constexpr int kClientWidth = 604;
inline constexpr int kClientHeight = 229;

inline constexpr Rect kLabel1{104, 64, 385, 25};
inline constexpr Rect kProgressBar1{112, 88, 361, 17};
inline constexpr Rect kImage1{232, 176, 137, 33};
inline constexpr Rect kTabStrip1{464, 152, 73, 57};
inline constexpr Rect kRichTextBox1{528, 40, 49, 65};

// Timer intervals in milliseconds.
inline constexpr unsigned kTimer1Interval = 500;
inline constexpr unsigned kTimerBWInterval = 1500;
inline constexpr unsigned kTimerStartInterval = 1000;

// HIMETRIC (0.01 mm) extent of a length in pixels at 96 dots per inch.
constexpr int PixelsToHimetric(int pixels) { return (pixels * 2540 + 48) / 96; }

}  // namespace velmora::layout
