// Page scripting: filling in and submitting the HTML form of a page a browser window shows.
// FormScripter finds form elements by tag, type and a key text and acts on them;
// ElementScripter reaches elements by name or id. Both act on a document they were attached
// to and keep it until the next attach, whatever the page does meanwhile.
//
// Texts are GBK; every comparison of texts is byte-wise and case-sensitive. An operation on an
// empty document or element finds nothing and gives an empty result (false, empty object).
#pragma once

#include <QPointer>
#include <QWidget>
#include <optional>

#include "browser/document.h"
#include "core/gbk.h"

namespace sonaro::browser {

// Element events by number, as FireElementEvent takes them.
inline constexpr int kEventClick = 0;
inline constexpr int kEventDblClick = 1;
inline constexpr int kEventRowEnter = 2;
inline constexpr int kEventBlur = 3;
inline constexpr int kEventKeyUp = 4;
inline constexpr int kEventChange = 5;

// What ActOnFormElement does to the element it settles on (unless focus, display or
// returnElement asks for something else).
inline constexpr int kActSetInnerText = 0;
inline constexpr int kActSetValue = 1;
inline constexpr int kActSetName = 2;
inline constexpr int kActSetId = 3;
inline constexpr int kActCheck = 4;
inline constexpr int kActUncheck = 5;
inline constexpr int kActClick = 6;

class FormScripter {
 public:
  FormScripter() = default;

  // Takes the document of the page that window shows. False, changing nothing, when window is
  // gone; otherwise whether a document is held afterwards (a window with no page yet keeps the
  // document held before). Pending events run during the search.
  bool AttachToWindow(const QPointer<QWidget>& window);
  // The rendering widget below window, letting pending events run after each sibling step;
  // null if none.
  QWidget* FindRenderingWindow(QWidget* window);
  // The document of the page window (a rendering widget or any widget above one) shows,
  // searching with this class's FindRenderingWindow; document is left alone on failure.
  bool GetDocument(QWidget* window, ScriptObject* document);

  // Walks the elements of each tag in tags ("|"-separated) whose kind (tagName for a, cite,
  // img and div, type otherwise; ASCII lower-cased) is one of types ("|"-separated). Each such
  // element counts one position; the element is settled on when key, read as a number, is
  // its position, or when its name, ID, value, innertext, title or href (first equal one
  // wins) equals key and skip such matches have been passed over. Then: focus, or show/hide
  // (display), or hand it out (returnElement into element), or the action with value.
  bool ActOnFormElement(const core::Text& tags, const core::Text& types, const core::Text& key,
                        int action, const std::optional<core::Text>& value = {}, int focus = 0,
                        int display = 0, int show = 0, int returnElement = 0,
                        ScriptObject* element = nullptr, int skip = 0);
  // Dispatches event (kEvent*) on element with the element's current handler for it as the
  // second argument. Only an element given directly is supported: without one, false.
  bool FireElementEvent(int kind, const core::Text& key, int event, const ScriptObject* element);

  // The input of type text, password or file whose name, id, value, ... is name gets value.
  bool SetTextInputByName(const core::Text& name, const core::Text& value, int skip = 0);
  // Clicks the input of type button, submit or reset, or the button element, whose name, id,
  // value, inner text, title or link is caption.
  bool ClickButtonByCaption(const core::Text& caption, int skip = 0);

  QWidget* Window() const { return window_; }

 private:
  bool Act(const ScriptObject& element, const core::Text& matchedBy, int action,
           const std::optional<core::Text>& value, int focus, int display, int show,
           int returnElement, ScriptObject* out, bool* acted);

  ScriptObject document_;
  QPointer<QWidget> window_;  // the window last attached to
};

class ElementScripter {
 public:
  ElementScripter() = default;

  // With a document, holds it; otherwise with a window, takes the document of the page it
  // shows. Whether a document is held afterwards (false when given neither).
  bool AttachToPage(const ScriptObject* document = nullptr, QWidget* window = nullptr);
  // As FormScripter::GetDocument, but the search runs no pending events.
  bool GetDocument(QWidget* window, ScriptObject* document);
  QWidget* FindRenderingWindow(QWidget* window);

  // Writes value to the "value" of GetElement(name, lookup); whether the write succeeded. No
  // event is fired.
  bool SetValueByName(const core::Text& name, int lookup, const core::Text& value);
  // lookup 1: the element the page's getElementsByName(name) gives for item() with no index
  // (its first); otherwise getElementById(name). Empty when there is none.
  ScriptObject GetElement(const core::Text& name, int lookup);

 private:
  ScriptObject document_;
};

// The program-wide scripting objects the Request form submits through; empty until attached.
FormScripter& RequestFormScripter();
ElementScripter& RequestElementScripter();

}  // namespace sonaro::browser
