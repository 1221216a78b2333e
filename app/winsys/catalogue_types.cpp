#include "app/winsys/catalogue_types.h"

namespace sonaro::ui {

const char* KindName(Kind kind) {
  switch (kind) {
    case Kind::Window:
      return "window";
    case Kind::Button:
      return "button";
    case Kind::EditBox:
      return "edit box";
    case Kind::Label:
      return "label";
    case Kind::TransparentLabel:
      return "transparent label";
    case Kind::TreeBox:
      return "tree box";
    case Kind::ListView:
      return "list view";
    case Kind::ImageButton:
      return "image button";
    case Kind::SystemVolume:
      return "system-volume control";
    case Kind::BrowserBox:
      return "browser box";
    case Kind::SuperMenu:
      return "super menu";
    case Kind::MenuItem:
      return "menu item";
    case Kind::SuperButton:
      return "super button";
    case Kind::Timer:
      return "timer";
  }
  return "?";
}

}  // namespace sonaro::ui
