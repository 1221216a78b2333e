#include "browser/document.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QVariantMap>
#include <cmath>
#include <memory>

#include "browser/engine.h"

namespace sonaro::browser {

namespace {

// Runs in the page's isolated world, where the page's own scripts cannot reach the table.
// The request names the document by its token, so an object of an earlier document of the
// same page finds nothing.
const char* const kHelper = R"JS((function (request) {
  var S = window.__sonaroScripting;
  if (!S) {
    S = window.__sonaroScripting = {
      token: String(Math.random()).slice(2) + '.' + Date.now(),
      refs: [document]
    };
  }
  var FAIL = {t: 'x'};
  if (request.op === 'doc') return {t: 'd', v: S.token};
  if (request.token !== S.token) return FAIL;
  var target = S.refs[request.id];
  if (target === undefined || target === null) return FAIL;
  function resolve(object, name) {
    if (name in object) return name;
    var lower = name.toLowerCase();
    for (var key in object) {
      if (String(key).toLowerCase() === lower) return key;
    }
    return undefined;
  }
  function wrap(value) {
    if (value === null || value === undefined) return {t: 'e'};
    var type = typeof value;
    if (type === 'boolean') return {t: 'b', v: value};
    if (type === 'number') return {t: 'n', v: value};
    if (type === 'string') return {t: 's', v: value};
    if (type === 'object' || type === 'function') {
      var index = S.refs.indexOf(value);
      if (index < 0) {
        S.refs.push(value);
        index = S.refs.length - 1;
      }
      return {t: 'o', v: index};
    }
    return {t: 's', v: String(value)};
  }
  function unwrap(argument) {
    if (argument.t === 'o') return S.refs[argument.v];
    if (argument.t === 'e') return undefined;
    return argument.v;
  }
  function fire(element, name) {
    var type = String(name).replace(/^on/i, '').toLowerCase();
    var init = {bubbles: true, cancelable: true};
    var event;
    if (/^(click|dblclick|mouse)/.test(type)) {
      init.view = window;
      event = new MouseEvent(type, init);
    } else if (/^key/.test(type)) {
      event = new KeyboardEvent(type, init);
    } else {
      event = new Event(type, init);
    }
    return element.dispatchEvent(event);
  }
  try {
    var args = request.args.map(unwrap);
    if (request.op === 'get') {
      var key = resolve(target, request.name);
      return key === undefined ? FAIL : wrap(target[key]);
    }
    if (request.op === 'put') {
      var existing = resolve(target, request.name);
      target[existing === undefined ? request.name : existing] = args[0];
      return {t: 'b', v: true};
    }
    if (request.op === 'call') {
      var method = resolve(target, request.name);
      if (method === undefined && request.name.toLowerCase() === 'fireevent' &&
          typeof target.dispatchEvent === 'function') {
        return wrap(fire(target, args[0]));
      }
      if (method === undefined || typeof target[method] !== 'function') return FAIL;
      return wrap(target[method].apply(target, args));
    }
  } catch (e) {
    return FAIL;
  }
  return FAIL;
}))JS";

// A value other than an object, as the helper reads it.
QJsonValue ToJson(const ScriptValue& value) {
  QJsonObject object;
  switch (value.kind()) {
    case ScriptValue::Kind::Empty:
      object[QStringLiteral("t")] = QStringLiteral("e");
      break;
    case ScriptValue::Kind::Bool:
      object[QStringLiteral("t")] = QStringLiteral("b");
      object[QStringLiteral("v")] = value.ToBool();
      break;
    case ScriptValue::Kind::Number:
      object[QStringLiteral("t")] = QStringLiteral("n");
      object[QStringLiteral("v")] = value.ToNumber();
      break;
    case ScriptValue::Kind::Text:
      object[QStringLiteral("t")] = QStringLiteral("s");
      object[QStringLiteral("v")] = core::FromGbk(value.ToText());
      break;
    case ScriptValue::Kind::Object:
      object[QStringLiteral("t")] = QStringLiteral("e");
      break;
  }
  return object;
}

}  // namespace

std::optional<QVariant> RunScriptSync(QObject* page, const QString& script, int timeLimitMs) {
  const Engine* engine = CurrentEngine();
  QVariant result;
  if (!page || !engine || !engine->runScript(page, script, timeLimitMs, &result))
    return std::nullopt;
  return result;
}

bool OpenDocument(QObject* page, ScriptObject* document) {
  if (!page || !document) return false;
  const std::optional<QVariant> answer = RunScriptSync(
      page, QString::fromUtf8(kHelper) + QStringLiteral("({\"op\":\"doc\",\"args\":[]})"));
  if (!answer) return false;
  const QVariantMap map = answer->toMap();
  if (map.value(QStringLiteral("t")).toString() != QStringLiteral("d")) return false;
  *document = ScriptObject(page, map.value(QStringLiteral("v")).toString(), 0);
  return true;
}

bool ScriptObject::IsEmpty() const { return !page_ || id_ < 0; }

ScriptValue ScriptObject::Request(const char* operation, std::string_view member,
                                  const std::vector<ScriptValue>& args) const {
  if (IsEmpty()) return {};
  QJsonArray arguments;
  for (const ScriptValue& arg : args) {
    if (arg.kind() == ScriptValue::Kind::Object) {
      const ScriptObject& object = arg.Object();
      // An object of another page or document means nothing here.
      if (object.page_ != page_ || object.token_ != token_ || object.IsEmpty()) return {};
      QJsonObject reference;
      reference[QStringLiteral("t")] = QStringLiteral("o");
      reference[QStringLiteral("v")] = object.id_;
      arguments.append(reference);
      continue;
    }
    arguments.append(ToJson(arg));
  }
  QJsonObject request;
  request[QStringLiteral("op")] = QString::fromLatin1(operation);
  request[QStringLiteral("token")] = token_;
  request[QStringLiteral("id")] = id_;
  request[QStringLiteral("name")] = core::FromGbk(member);
  request[QStringLiteral("args")] = arguments;
  const QString script = QString::fromUtf8(kHelper) + QLatin1Char('(') +
                         QString::fromUtf8(QJsonDocument(request).toJson(QJsonDocument::Compact)) +
                         QLatin1Char(')');
  const std::optional<QVariant> answer = RunScriptSync(page_, script);
  if (!answer) return {};
  const QVariantMap map = answer->toMap();
  const QString type = map.value(QStringLiteral("t")).toString();
  const QVariant value = map.value(QStringLiteral("v"));
  if (type == QStringLiteral("b")) return ScriptValue(value.toBool());
  if (type == QStringLiteral("n")) return ScriptValue(value.toDouble());
  if (type == QStringLiteral("s")) return ScriptValue(core::ToGbk(value.toString()));
  if (type == QStringLiteral("o")) return ScriptValue(ScriptObject(page_, token_, value.toInt()));
  return {};
}

ScriptValue ScriptObject::Get(std::string_view member) const { return Request("get", member, {}); }

bool ScriptObject::Put(std::string_view member, const ScriptValue& value) const {
  return Request("put", member, {value}).ToBool();
}

ScriptValue ScriptObject::Call(std::string_view member,
                               const std::vector<ScriptValue>& args) const {
  return Request("call", member, args);
}

core::Text ScriptValue::ToText() const {
  switch (kind_) {
    case Kind::Text:
      return text_;
    case Kind::Bool:
      return number_ != 0 ? "true" : "false";
    case Kind::Number: {
      if (std::isfinite(number_) && number_ == std::floor(number_) && std::fabs(number_) < 1e15)
        return std::to_string(int64_t(number_));
      return QString::number(number_, 'g', 17).toStdString();
    }
    default:
      return {};
  }
}

double ScriptValue::ToNumber() const {
  if (kind_ == Kind::Number || kind_ == Kind::Bool) return number_;
  if (kind_ == Kind::Text) return QString::fromStdString(text_).toDouble();
  return 0;
}

bool ScriptValue::ToBool() const {
  switch (kind_) {
    case Kind::Bool:
    case Kind::Number:
      return number_ != 0;
    case Kind::Text:
      return !text_.empty();
    case Kind::Object:
      return !object_.IsEmpty();
    default:
      return false;
  }
}

}  // namespace sonaro::browser
