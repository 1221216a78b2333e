// The window catalogue's vocabulary: windows and controls declared as data.
// Pure data, no Widgets: the catalogue itself is tested without a display.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "ui/event.h"

namespace sonaro::ui {

enum class Kind {
  Window,
  Button,
  EditBox,
  Label,
  TransparentLabel,
  TreeBox,
  ListView,
  ImageButton,
  SystemVolume,
  BrowserBox,
  SuperMenu,
  MenuItem,
  SuperButton,
  Timer,
};

struct Rect {
  int left = 0;
  int top = 0;
  int width = 0;
  int height = 0;
};

enum class Align { Left, Centre, Right };

// The two faces the catalogue names; realised with the Noto CJK fonts.
enum class Face { Default, YaHei, SongTi };

struct Font {
  Face face = Face::Default;
  int pixelSize = 0;  // 0: the default size
  bool bold = false;
};

// COLORREF: 0x00BBGGRR; -1 means none.
using Colour = int64_t;
inline constexpr Colour kNoColour = -1;
constexpr Colour Rgb(int r, int g, int b) {
  return Colour(r) | (Colour(g) << 8) | (Colour(b) << 16);
}

// Standard cursor identifiers.
inline constexpr int kCursorArrow = 0;
inline constexpr int kCursorSizeWE = 32644;
inline constexpr int kCursorSizeNS = 32645;
inline constexpr int kCursorHand = 32649;

struct TreeItem {
  const char* text;  // UTF-8 in the source; GBK once in the program
  int level;         // 1 = top level, n + 1 = child of the last item of level n
};

struct Column {
  const char* title;
  int width;  // 0: a hidden column that only carries data
};

struct Binding {
  int event;
  Handler handler;
  const char* handlerName;  // for diagnostics and the catalogue's tests
};
#define SONARO_BIND(event, fn) \
  ::sonaro::ui::Binding { (event), &(fn), #fn }

struct ControlSpec {
  uint32_t unitId = 0;
  Kind kind = Kind::Label;
  const char* name = "";
  // What a screen reader says for a control that shows no caption of its own (UTF-8).
  const char* accessibleName = nullptr;
  Rect rect{};
  bool visible = true;  // for menu items: false = hidden
  bool disabled = false;
  bool tabStop = false;
  int cursor = kCursorArrow;
  const char* text = "";  // caption or initial text (UTF-8 in the source)
  Align align = Align::Left;
  bool multiLine = false;
  bool wraps = false;
  int borderStyle = 0;
  Font font{};
  Colour textColour = kNoColour;
  Colour fillColour = kNoColour;  // label fill; background of tree and list
  const char* picture = nullptr;  // embedded picture name
  int interval = 0;               // timer, milliseconds
  std::span<const TreeItem> items{};
  std::span<const Column> columns{};
  int menuLevel = 0;
  bool checked = false;
  std::vector<Binding> bindings{};
};

struct WindowSpec {
  uint32_t windowId = 0;
  uint32_t unitId = 0;
  const char* name = "";
  Rect rect{};
  const char* title = "";
  const char* picture = nullptr;  // background picture, embedded picture name
  bool dragByBody = false;
  bool framed = false;  // has the system's border and caption
  bool visible = true;  // shown once loaded
  std::vector<Binding> bindings{};
  std::vector<ControlSpec> controls{};
};

}  // namespace sonaro::ui
