// FormScripter and ElementScripter against real pages: which element a key finds, what is
// written, which events the page sees, and what an unattached or stale scripter does.
#include <gtest/gtest.h>

#include <QWebEnginePage>
#include <QWebEngineView>
#include <QWidget>
#include <memory>

#include "browser/browser_control.h"
#include "browser/document.h"
#include "browser/page_scripting.h"
#include "core/gbk.h"
#include "support/event_wait.h"

using namespace sonaro;
using namespace sonaro::browser;

namespace {

// Every element with a data-n attribute reports keyup, blur, change and click into #log as
// "n:event "; clicks are cancelled, so a submit button leaves the page where it is and a
// checkbox keeps the state written to it.
const char* const kPrelude = R"(<!DOCTYPE html><html><head><meta charset="utf-8"><script>
['keyup', 'blur', 'change', 'click'].forEach(function (type) {
  document.addEventListener(type, function (e) {
    var n = e.target && e.target.getAttribute && e.target.getAttribute('data-n');
    if (n) document.getElementById('log').textContent += n + ':' + type + ' ';
    if (type === 'click') e.preventDefault();
  }, true);
});
</script></head><body><pre id="log"></pre>)";

core::Text G(const char* utf8) { return core::GbkFromUtf8(utf8); }

class PageScripting : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { ASSERT_TRUE(InitBrowserControl()); }
  static void TearDownTestSuite() { ShutdownBrowserControl(); }

  void SetUp() override {
    window_ = std::make_unique<QWidget>();
    window_->resize(320, 240);
    view_ = qobject_cast<QWebEngineView*>(NewView(window_.get(), false));
    ASSERT_NE(view_, nullptr);
    view_->resize(320, 240);
    window_->show();
  }
  void TearDown() override { window_.reset(); }

  // Shows body (UTF-8 HTML) after the prelude and waits until its document answers.
  void Load(const char* body) {
    bool finished = false;
    QObject::connect(
        view_, &QWebEngineView::loadFinished, view_, [&](bool) { finished = true; },
        Qt::SingleShotConnection);
    view_->setHtml(
        QString::fromUtf8(kPrelude) + QString::fromUtf8(body) + QStringLiteral("</body></html>"),
        QUrl(QStringLiteral("http://127.0.0.1/")));
    ASSERT_TRUE(test::WaitUntil([&] { return finished; }, 30000));
    ASSERT_TRUE(test::WaitUntil([&] { return FindRenderingWindow(window_.get()) != nullptr; }));
    ASSERT_TRUE(OpenDocument(view_->page(), &page_));
  }
  ScriptObject ById(const char* id) const {
    return page_.Call("getElementById", {core::Text(id)}).Object();
  }
  core::Text Value(const char* id) const { return ById(id).Get("value").ToText(); }
  core::Text Log() const { return ById("log").Get("textContent").ToText(); }

  std::unique_ptr<QWidget> window_;
  QWebEngineView* view_ = nullptr;
  ScriptObject page_;  // the test's own view of the shown document
};

TEST_F(PageScripting, TextInputByNameGetsValueAndTheThreeEvents) {
  Load(R"(<input type="hidden" name="beiname" id="h" data-n="h">
          <input type="checkbox" name="beiname" id="c" data-n="c">
          <input type="text" name="beiname" id="t" data-n="t">)");
  FormScripter scripter;
  ASSERT_TRUE(scripter.AttachToWindow(window_.get()));
  EXPECT_TRUE(scripter.SetTextInputByName("beiname", G("一封信")));
  EXPECT_EQ(Value("t"), G("一封信"));
  EXPECT_EQ(Value("h"), "") << "a hidden input is never a text input";
  EXPECT_EQ(Value("c"), "on") << "a checkbox is never a text input";
  EXPECT_EQ(Log(), "t:keyup t:blur t:change ");
}

TEST_F(PageScripting, HiddenOrCheckboxOnlyFindsNothing) {
  Load(R"(<input type="hidden" name="beiname" id="h" data-n="h">
          <input type="checkbox" name="beiname" id="c" data-n="c">)");
  FormScripter scripter;
  ASSERT_TRUE(scripter.AttachToWindow(window_.get()));
  EXPECT_FALSE(scripter.SetTextInputByName("beiname", "x"));
  EXPECT_EQ(Value("h"), "");
  EXPECT_EQ(Value("c"), "on");
  EXPECT_EQ(Log(), "");
}

TEST_F(PageScripting, SkipIdMatchAndPositionKeys) {
  Load(R"(<input type="text" name="beiname" id="a" data-n="a">
          <input type="checkbox" name="x" id="box">
          <input type="password" name="beiname" id="b" data-n="b">
          <input type="file" name="f" id="f" data-n="f">
          <input type="text" name="other" id="beiname" data-n="i">
          <input type="text" name="last" id="z" data-n="z">)");
  FormScripter scripter;
  ASSERT_TRUE(scripter.AttachToWindow(window_.get()));

  // skip passes over the first name match only.
  EXPECT_TRUE(scripter.SetTextInputByName("beiname", "second", 1));
  EXPECT_EQ(Value("a"), "");
  EXPECT_EQ(Value("b"), "second");
  // Past every match: nothing.
  EXPECT_FALSE(scripter.SetTextInputByName("beiname", "none", 3));

  // A key that is an element's id: found, but no change event (that needs a name match).
  ById("log").Put("textContent", core::Text());
  EXPECT_TRUE(scripter.SetTextInputByName("beiname", "by id", 2));
  EXPECT_EQ(Value("beiname"), "by id");
  EXPECT_EQ(Log(), "i:keyup i:blur ");

  // A number is a position among text, password and file inputs (the checkbox does not
  // count), full-width digits included; it ignores skip.
  ById("log").Put("textContent", core::Text());
  EXPECT_TRUE(scripter.SetTextInputByName("2", "pos2", 5));
  EXPECT_EQ(Value("b"), "pos2");
  EXPECT_EQ(Log(), "b:keyup b:blur ");
  EXPECT_TRUE(scripter.SetTextInputByName(G("５"), "pos5"));
  EXPECT_EQ(Value("z"), "pos5");
  EXPECT_FALSE(scripter.SetTextInputByName("6", "beyond"));
}

TEST_F(PageScripting, ClickButtonByCaptionFindsSubmitInputsAndButtonElements) {
  Load(R"(<form><input type="text" name="q" value="提交留言" data-n="text">
          <input type="submit" value="提交留言" data-n="submit">
          <button type="button" data-n="button">提交留言</button>
          <button type="button" title="other" data-n="titled">x</button></form>)");
  FormScripter scripter;
  ASSERT_TRUE(scripter.AttachToWindow(window_.get()));
  EXPECT_TRUE(scripter.ClickButtonByCaption(G("提交留言")));
  EXPECT_EQ(Log(), "submit:click ") << "the text input with that value is not a button";
  // The submit input is the first match across both tags; skip 1 reaches the button element
  // through its inner text, the "button" type of <button type=button>.
  EXPECT_TRUE(scripter.ClickButtonByCaption(G("提交留言"), 1));
  EXPECT_EQ(Log(), "submit:click button:click ");
  EXPECT_TRUE(scripter.ClickButtonByCaption("other"));
  EXPECT_EQ(Log(), "submit:click button:click titled:click ");
  EXPECT_FALSE(scripter.ClickButtonByCaption(G("确定")));
}

TEST_F(PageScripting, OtherActionsAndTheHrefRule) {
  Load(R"(<a href="http://127.0.0.1/x" id="link" data-n="link">old</a>
          <input type="checkbox" name="tick" id="tick" data-n="tick">
          <div id="d" title="panel" data-n="div">text</div>)");
  FormScripter scripter;
  ASSERT_TRUE(scripter.AttachToWindow(window_.get()));
  // Matched by its address: the inner text is rewritten and nothing is told.
  EXPECT_TRUE(scripter.ActOnFormElement("a", "a", "http://127.0.0.1/x", kActSetInnerText, "new"));
  EXPECT_EQ(ById("link").Get("innerText").ToText(), "new");
  EXPECT_TRUE(scripter.ActOnFormElement("input", "checkbox", "tick", kActCheck));
  EXPECT_TRUE(ById("tick").Get("checked").ToBool());
  EXPECT_EQ(Log(), "tick:click ");
  // Hide, then hand the element out.
  EXPECT_TRUE(scripter.ActOnFormElement("div", "div", "panel", kActSetValue, {}, 0, 1, 0));
  EXPECT_EQ(ById("d").Get("style").Object().Get("display").ToText(), "none");
  ScriptObject found;
  EXPECT_TRUE(
      scripter.ActOnFormElement("div", "div", "d", kActSetValue, {}, 0, 0, 0, 1, &found, 0));
  EXPECT_EQ(found.Get("title").ToText(), "panel");
  // No types, or an action that does not exist: nothing.
  EXPECT_FALSE(scripter.ActOnFormElement("input", "", "tick", kActCheck));
  EXPECT_FALSE(scripter.ActOnFormElement("input", "checkbox", "tick", 9));
}

TEST_F(PageScripting, ElementScripterValueByNameAndById) {
  Load(R"(<textarea name="neirong" id="wish" data-n="wish"></textarea>
          <input type="text" id="plain">)");
  ElementScripter scripter;
  EXPECT_FALSE(scripter.AttachToPage()) << "neither a document nor a window";
  ASSERT_TRUE(scripter.AttachToPage(nullptr, window_.get()));
  EXPECT_TRUE(scripter.SetValueByName("neirong", 1, G("祝你快乐")));
  EXPECT_EQ(Value("wish"), G("祝你快乐"));
  EXPECT_EQ(Log(), "") << "no event is fired";
  EXPECT_FALSE(scripter.SetValueByName("missing", 1, "x"));
  EXPECT_FALSE(scripter.SetValueByName("neirong", 0, "x")) << "lookup 0 is by id";
  EXPECT_TRUE(scripter.SetValueByName("plain", 0, "by id"));
  EXPECT_EQ(Value("plain"), "by id");

  ElementScripter given;
  EXPECT_TRUE(given.AttachToPage(&page_));
  EXPECT_EQ(given.GetElement("wish", 0).Get("name").ToText(), "neirong");
}

TEST_F(PageScripting, UnattachedAndStaleScripters) {
  Load(R"(<input type="text" name="beiname" id="t"><button data-n="b">go</button>
          <textarea name="neirong" id="w"></textarea>)");
  FormScripter never;
  EXPECT_FALSE(never.AttachToWindow(QPointer<QWidget>()));
  EXPECT_FALSE(never.SetTextInputByName("beiname", "x"));
  EXPECT_FALSE(never.ClickButtonByCaption("go"));
  ElementScripter neverElements;
  EXPECT_FALSE(neverElements.SetValueByName("neirong", 1, "x"));
  EXPECT_EQ(Value("t"), "");
  EXPECT_EQ(Value("w"), "");
  EXPECT_EQ(Log(), "");

  // A window with no page below it: the earlier document stays and is still acted on.
  FormScripter scripter;
  ASSERT_TRUE(scripter.AttachToWindow(window_.get()));
  QWidget empty;
  EXPECT_TRUE(scripter.AttachToWindow(&empty)) << "a document is still held";
  EXPECT_EQ(scripter.Window(), &empty);
  EXPECT_TRUE(scripter.SetTextInputByName("beiname", "still"));
  EXPECT_EQ(Value("t"), "still");
  // A window with no page, first thing: no document.
  FormScripter fresh;
  EXPECT_FALSE(fresh.AttachToWindow(&empty));
}

}  // namespace
