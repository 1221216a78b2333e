// A page's document as an automation object: members are read, written and called by name
// (without regard to case), each call running page script synchronously with a time limit.
// Elements and collections the page returns are objects of the same kind, kept in a per-page
// table so they can be named again in later calls.
#pragma once

#include <QObject>
#include <QPointer>
#include <QString>
#include <QVariant>
#include <optional>
#include <string_view>
#include <vector>

#include "core/gbk.h"

namespace sonaro::browser {

class ScriptValue;

class ScriptObject {
 public:
  ScriptObject() = default;  // empty: every operation fails

  bool IsEmpty() const;
  // A member's value; empty when the object is empty, the page is gone or has moved on to
  // another document, the member does not exist, or the page does not answer in time.
  ScriptValue Get(std::string_view member) const;
  // Writes a member; false on any failure.
  bool Put(std::string_view member, const ScriptValue& value) const;
  // Calls a method with the given arguments (none at all when args is empty: an optional
  // argument left out). "FireEvent" on an element dispatches the event named, "onchange"
  // giving the DOM event "change".
  ScriptValue Call(std::string_view member, const std::vector<ScriptValue>& args = {}) const;

  // The page (a QWebEnginePage).

 private:
  friend class ScriptValue;
  friend bool OpenDocument(QObject* page, ScriptObject* document);
  ScriptObject(QObject* page, QString token, int id)
      : page_(page), token_(std::move(token)), id_(id) {}
  ScriptValue Request(const char* operation, std::string_view member,
                      const std::vector<ScriptValue>& args) const;

  QPointer<QObject> page_;
  QString token_;  // names the document the object belongs to
  int id_ = -1;
};

// What crosses between the program and page script: nothing, a truth value, a number, a text
// (GBK on the program's side) or an object.
class ScriptValue {
 public:
  enum class Kind { Empty, Bool, Number, Text, Object };

  ScriptValue() = default;
  ScriptValue(bool value) : kind_(Kind::Bool), number_(value ? 1 : 0) {}                 // NOLINT
  ScriptValue(double value) : kind_(Kind::Number), number_(value) {}                     // NOLINT
  ScriptValue(int value) : kind_(Kind::Number), number_(value) {}                        // NOLINT
  ScriptValue(core::Text gbk) : kind_(Kind::Text), text_(std::move(gbk)) {}              // NOLINT
  ScriptValue(const char* gbk) : kind_(Kind::Text), text_(gbk) {}                        // NOLINT
  ScriptValue(ScriptObject object) : kind_(Kind::Object), object_(std::move(object)) {}  // NOLINT

  Kind kind() const { return kind_; }
  bool IsEmpty() const { return kind_ == Kind::Empty; }
  // As text: numbers in decimal, truth values "true"/"false", objects and nothing "".
  core::Text ToText() const;
  double ToNumber() const;
  bool ToBool() const;
  const ScriptObject& Object() const { return object_; }

 private:
  Kind kind_ = Kind::Empty;
  double number_ = 0;
  core::Text text_;
  ScriptObject object_;
};

// How long a page may take to answer one call.
inline constexpr int kScriptTimeLimitMs = 1000;

// Runs script in the page's isolated scripting world and waits for its result (events keep
// being handled meanwhile); nullopt when the page does not answer within the limit or goes.
std::optional<QVariant> RunScriptSync(QObject* page, const QString& script,
                                      int timeLimitMs = kScriptTimeLimitMs);

// The document the page (a QWebEnginePage) shows now; false when the page does not answer in
// time.
bool OpenDocument(QObject* page, ScriptObject* document);

}  // namespace sonaro::browser
