#pragma once

// What the Launch window and its controls are at creation, as data. The
// win32 window and the in-memory model are both built from these tables.

#include <cstdint>
#include <span>
#include <string_view>
#include <vector>

#include "ui/controls.h"

namespace ui {

enum class Kind : std::uint8_t {
  PictureBox,
  PictureButton,
  ColourButton,
  Label,
  TransparentLabel,
  EditBox,
  ProgressBar,
  AnimationBox,
  AnimationObject,
  Timer,
  ZipObject,
};

enum class Align : std::uint8_t { Left, Centre, Right };

// How a picture box shows its picture.
enum class Fit : std::uint8_t { Natural, Stretch };

inline constexpr Colorref kNoColour = 0xFFFFFFFFu;
inline constexpr int kRegular = 400;
inline constexpr int kBold = 700;

struct FontStyle {
  // Null face with a height: the platform's default face for GB2312.
  const char* face = nullptr;
  // Character height in pixels; 0 means the platform's default GUI font.
  int height = 0;
  int weight = kRegular;
};

// Resource names of a picture button's faces; null where there is none.
struct ButtonImages {
  const char* normal = nullptr;
  const char* hover = nullptr;
  const char* pressed = nullptr;
  const char* disabled = nullptr;
};

struct ControlRow {
  const char* name;
  Kind kind;
  // Null: a child of the window; otherwise the name of the parent control.
  const char* parent = nullptr;
  int left = 0;
  int top = 0;
  int width = 0;
  int height = 0;
  bool visible = true;
  bool enabled = true;
  const char* text = "";
  FontStyle font{};
  Colorref caption = 0x000000;
  Colorref background = kNoColour;
  Align align = Align::Left;
  bool wordWrap = false;
  // Picture box: its picture resource (may be null) and how it is shown.
  const char* picture = nullptr;
  Fit fit = Fit::Natural;
  ButtonImages images{};
  Colorref transparentColour = kNoColour;
  // Colour button faces by state; its caption colour is `caption` in all.
  Colorref face = kNoColour;
  Colorref faceHover = kNoColour;
  Colorref facePressed = kNoColour;
  // Edit box.
  bool multiLine = false;
  bool readOnly = false;
  bool border = false;
  // A second caption kept with the control, not shown.
  const char* secondText = nullptr;
  // Timer period.
  int periodMs = 0;
  // Progress bar range and position.
  int rangeMax = 0;
};

struct WindowProperties {
  const char* title;
  const char* className;
  int width;
  int height;
  Colorref background;
  const char* backgroundPicture;  // resource name, tiled from the top-left
  const char* icon;               // resource name
};

const WindowProperties& launchWindowProperties();

// All 37 controls, in the order the tables list them.
std::span<const ControlRow> controlTable();

// Names of the window's children from the topmost to the bottom one, for
// where they overlap; the controls that are not windows are left out.
std::span<const char* const> stackingOrder();

// The control of that name, or null.
const ControlRow* findControl(std::string_view name);

// Position of a control in window coordinates (adds its parent's place).
struct Point {
  int x;
  int y;
};
Point windowPosition(const ControlRow& control);

// The resource names of the window's own pictures, each once: its
// background and the pictures the control table gives its controls.
std::vector<const char*> windowPictureNames();

// False for the kinds that are records only: the animation object, the
// timer and the ZIP object.
bool hasWindow(Kind kind);

// True for a control whose window the first frame does not show: hidden at
// creation, or wholly outside the window. Such a window may be made just
// after the window is first shown, so that the player waits only for those
// on screen; the start-up sequence uses none of them.
bool createdAfterFirstFrame(const ControlRow& control);

}  // namespace ui
