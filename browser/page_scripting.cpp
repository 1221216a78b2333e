#include "browser/page_scripting.h"

#include <array>
#include <cmath>
#include <string_view>

#include "browser/browser_control.h"
#include "core/text.h"

namespace sonaro::browser {

namespace {

// A position given as key must equal the counter within this.
constexpr double kPositionTolerance = 1e-7;

// The properties a key is compared with, in this order; the first equal one wins.
constexpr std::array<std::string_view, 6> kKeyProperties = {"name",      "ID",    "value",
                                                            "innertext", "title", "href"};

// FireElementEvent's event names by number.
constexpr std::array<std::string_view, 6> kEventNames = {"onclick", "ondblclick", "onrowenter",
                                                         "onblur",  "onkeyup",    "onchange"};

core::Text AsciiLower(core::Text text) {
  for (char& c : text) {
    if (c >= 'A' && c <= 'Z') c = char(c - 'A' + 'a');
  }
  return text;
}

// Full-width forms (GBK A3A1..A3FE, and the ideographic space A1A1) as their ASCII
// counterparts, so that "２" reads as the position 2.
core::Text HalfWidth(std::string_view text) {
  core::Text out;
  out.reserve(text.size());
  for (size_t i = 0; i < text.size(); ++i) {
    const auto lead = static_cast<unsigned char>(text[i]);
    if (lead < 0x80 || i + 1 >= text.size()) {
      out += text[i];
      continue;
    }
    const auto trail = static_cast<unsigned char>(text[i + 1]);
    if (lead == 0xA3 && trail >= 0xA1 && trail <= 0xFE) {
      out += char(trail - 0x80);
    } else if (lead == 0xA1 && trail == 0xA1) {
      out += ' ';
    } else {
      out += text[i];
      out += text[i + 1];
    }
    ++i;
  }
  return out;
}

bool TakesTagName(std::string_view tag) {
  return tag == "a" || tag == "cite" || tag == "img" || tag == "div";
}

// The document of the page shown below window; rendering is the widget found there.
bool DocumentOf(QWidget* rendering, ScriptObject* document) {
  QObject* page = RenderedPage(rendering);
  return page && OpenDocument(page, document);
}

}  // namespace

// --- FormScripter ----------------------------------------------------------------------------

bool FormScripter::AttachToWindow(const QPointer<QWidget>& window) {
  if (!window) return false;
  window_ = window;
  GetDocument(window, &document_);
  return !document_.IsEmpty();
}

QWidget* FormScripter::FindRenderingWindow(QWidget* window) {
  return browser::FindRenderingWindow(window, /*letMessagesRun=*/true);
}

bool FormScripter::GetDocument(QWidget* window, ScriptObject* document) {
  if (!window || !document) return false;
  QWidget* rendering = IsRenderingWindow(window) ? window : FindRenderingWindow(window);
  return DocumentOf(rendering, document);
}

bool FormScripter::ActOnFormElement(const core::Text& tags, const core::Text& types,
                                    const core::Text& key, int action,
                                    const std::optional<core::Text>& value, int focus, int display,
                                    int show, int returnElement, ScriptObject* element, int skip) {
  const std::vector<core::Text> typeList = core::TextSplit(types, "|");
  if (typeList.empty()) return false;
  const std::vector<core::Text> tagList = core::TextSplit(tags, "|");
  const double position = core::TextToNumber(HalfWidth(key));
  int counter = 0;  // shared by all tags

  for (const core::Text& tag : tagList) {
    const ScriptObject elements = document_.Call("getElementsByTagName", {tag}).Object();
    const int length = int(elements.Get("length").ToNumber());
    for (int k = 0; k < length; ++k) {
      const ScriptObject candidate = elements.Call("item", {k}).Object();
      const core::Text kind =
          AsciiLower(candidate.Get(TakesTagName(tag) ? "tagName" : "type").ToText());
      for (const core::Text& type : typeList) {
        if (kind != type) continue;
        ++counter;
        core::Text matchedBy;
        if (std::fabs(position - counter) > kPositionTolerance) {
          for (std::string_view property : kKeyProperties) {
            if (candidate.Get(property).ToText() == key) {
              matchedBy = core::Text(property);
              break;
            }
          }
          if (matchedBy.empty()) continue;
          if (skip > 0) {
            --skip;
            continue;
          }
        }
        bool acted = false;
        const bool result = Act(candidate, matchedBy, action, value, focus, display, show,
                                returnElement, element, &acted);
        if (acted) return result;
      }
    }
  }
  return false;
}

bool FormScripter::Act(const ScriptObject& element, const core::Text& matchedBy, int action,
                       const std::optional<core::Text>& value, int focus, int display, int show,
                       int returnElement, ScriptObject* out, bool* acted) {
  *acted = true;
  if (focus != 0) {
    element.Call("focus");
    return true;
  }
  if (display != 0) {
    return element.Get("style").Object().Put("display", core::Text(show != 0 ? "block" : "none"));
  }
  if (returnElement != 0) {
    if (out) *out = element;
    return true;
  }
  static constexpr std::array<std::string_view, 4> kWritten = {"innertext", "value", "name", "ID"};
  const core::Text text = value.value_or(core::Text());
  switch (action) {
    case kActSetInnerText:
    case kActSetValue:
    case kActSetName:
    case kActSetId: {
      const bool written = element.Put(kWritten[size_t(action)], text);
      // A link matched by its address is only rewritten, never told about it.
      if (matchedBy != "href") {
        FireElementEvent(0, {}, kEventKeyUp, &element);
        FireElementEvent(0, {}, kEventBlur, &element);
        if (action == kActSetValue && matchedBy == "name") {
          FireElementEvent(0, {}, kEventChange, &element);
        }
      }
      return written;
    }
    case kActCheck:
    case kActUncheck: {
      const bool written = element.Put("checked", action == kActCheck ? 1 : 0);
      FireElementEvent(0, {}, kEventClick, &element);
      return written;
    }
    case kActClick:
      element.Call("click");
      return true;
    default:
      // An unknown action settles on nothing: the walk goes on.
      *acted = false;
      return false;
  }
}

bool FormScripter::FireElementEvent(int /*kind*/, const core::Text& /*key*/, int event,
                                    const ScriptObject* element) {
  if (!element || element->IsEmpty() || event < 0 || event >= int(kEventNames.size())) {
    return false;
  }
  const std::string_view name = kEventNames[size_t(event)];
  const ScriptValue handler = element->Get(name);
  return element->Call("FireEvent", {core::Text(name), handler}).ToBool();
}

bool FormScripter::SetTextInputByName(const core::Text& name, const core::Text& value, int skip) {
  return ActOnFormElement("input", "text|password|file", name, kActSetValue, value, 0, 0, 0, 0,
                          nullptr, skip);
}

bool FormScripter::ClickButtonByCaption(const core::Text& caption, int skip) {
  return ActOnFormElement("input|button", "button|submit|reset", caption, kActClick, {}, 0, 0, 0, 0,
                          nullptr, skip);
}

// --- ElementScripter -------------------------------------------------------------------------

bool ElementScripter::AttachToPage(const ScriptObject* document, QWidget* window) {
  if (document) {
    document_ = *document;
    return !document_.IsEmpty();
  }
  if (window) return GetDocument(window, &document_);
  return false;
}

bool ElementScripter::GetDocument(QWidget* window, ScriptObject* document) {
  if (!window || !document) return false;
  QWidget* rendering = IsRenderingWindow(window) ? window : FindRenderingWindow(window);
  return DocumentOf(rendering, document);
}

QWidget* ElementScripter::FindRenderingWindow(QWidget* window) {
  return browser::FindRenderingWindow(window, /*letMessagesRun=*/false);
}

ScriptObject ElementScripter::GetElement(const core::Text& name, int lookup) {
  if (lookup != 1) return document_.Call("getElementById", {name}).Object();
  const ScriptObject named = document_.Call("getElementsByName", {name}).Object();
  ScriptValue first = named.Call("item");
  // The engine insists on the index that the document model lets a caller leave out; left
  // out, it means the first element.
  if (first.kind() != ScriptValue::Kind::Object) first = named.Call("item", {0});
  return first.Object();
}

bool ElementScripter::SetValueByName(const core::Text& name, int lookup, const core::Text& value) {
  const ScriptObject element = GetElement(name, lookup);
  return element.Put("value", value);
}

// --- program-wide objects --------------------------------------------------------------------

FormScripter& RequestFormScripter() {
  static FormScripter scripter;
  return scripter;
}

ElementScripter& RequestElementScripter() {
  static ElementScripter scripter;
  return scripter;
}

}  // namespace sonaro::browser
