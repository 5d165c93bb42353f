#pragma once

#include <QPoint>
#include <QRect>
#include <QSize>

#include <array>

// Where the window puts the pictures and the controls they label (pixels; positions in
// a panel are relative to the panel). The artwork is computed from these so that every
// label sits beside its radio button or over its slider.
namespace zumo::layout {

inline constexpr QSize kWindow{1002, 696};
inline constexpr QSize kButton{129, 28};
inline constexpr int kRadioSize = 17;

// On the window.
inline constexpr QRect kScrollBox1{4, 40, 840, 579};
inline constexpr QPoint kImage10{22, 619};
inline constexpr QPoint kRGButton1{698, 664};
inline constexpr QPoint kRGButton5{640, 626};
inline constexpr std::array<QPoint, 4> kTechniqueRadios{{{156, 632}, {295, 632}, {388, 632}, {507, 632}}};

// Panel1: the save strip.
inline constexpr QRect kPanel1{16, 662, 649, 31};
inline constexpr QPoint kImage5{8, 4};
inline constexpr QPoint kRGButton3{512, 2};
inline constexpr std::array<QPoint, 4> kSaveRadios{{{93, 7}, {223, 7}, {315, 7}, {396, 7}}};

// Panel2: the load button and the size presets.
inline constexpr QRect kPanel2{846, 40, 152, 132};
inline constexpr QPoint kImage4{1, 1};
inline constexpr QPoint kRGButton2{12, 3};
inline constexpr std::array<QPoint, 4> kSizeRadios{{{10, 35}, {10, 61}, {10, 87}, {10, 113}}};

// Panel3: the colour sliders.
inline constexpr QRect kPanel3{846, 180, 152, 201};
inline constexpr std::array<QRect, 3> kColourSliders{{{11, 68, 33, 120}, {59, 68, 33, 120}, {107, 68, 33, 120}}};

// Panel4: the tone sliders, left to right as they stand: TrackBar4, TrackBar6, TrackBar5,
// TrackBar7.
inline constexpr QRect kPanel4{846, 386, 152, 221};
inline constexpr std::array<QRect, 4> kToneSliders{{{7, 50, 30, 150}, {42, 50, 26, 150}, {77, 50, 30, 150}, {112, 50, 30, 150}}};

// Panel5: the one-button filter.
inline constexpr QRect kPanel5{846, 612, 152, 78};
inline constexpr QPoint kRGButton4{14, 40};

}  // namespace zumo::layout
