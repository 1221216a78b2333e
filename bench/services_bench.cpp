// Reading the dedication feed by path against pugixml's bare parse, and the GBK find against
// std::string::find.
#include <benchmark/benchmark.h>

#include <charconv>
#include <pugixml.hpp>
#include <string>

#include "bench/ratios.h"
#include "core/text.h"
#include "core/xmldoc.h"

namespace sonaro::bench {
namespace {

const char* const kFields[] = {"chenghu", "diangezhe", "beichenghu", "beidiangezhe",
                               "geming",  "gequdizhi", "zhufuyu"};

// A feed of the given number of records in GBK as the service host writes it; 5000 records make
// about 1 MB.
std::string MakeFeed(int records) {
  const core::Text values[] = {core::GbkFromUtf8("小"),
                               core::GbkFromUtf8("张三丰"),
                               core::GbkFromUtf8("亲爱的"),
                               core::GbkFromUtf8("李小龙"),
                               core::GbkFromUtf8("月亮代表我的心"),
                               "http://127.0.0.1/music/",
                               core::GbkFromUtf8("祝你生日快乐，天天开心！")};
  std::string xml = "<?xml version=\"1.0\" encoding=\"gb2312\"?>\r\n<diange>\r\n";
  for (int i = 1; i <= records; ++i) {
    xml += "<jilu>";
    for (int f = 0; f < 7; ++f) {
      xml += std::string("<") + kFields[f] + ">" + values[f] + std::to_string(i) + "</" +
             kFields[f] + ">";
    }
    xml += "</jilu>\r\n";
  }
  return xml + "</diange>\r\n";
}

const std::string& Feed() {
  static const std::string feed = MakeFeed(5000);
  return feed;
}

const std::string& LargeFeed() {
  static const std::string feed = MakeFeed(20000);
  return feed;
}

void BM_FeedParse_Reference(benchmark::State& state) {
  const std::string& feed = Feed();
  for (auto _ : state) {
    pugi::xml_document doc;
    auto result =
        doc.load_buffer(feed.data(), feed.size(), pugi::parse_default, pugi::encoding_utf8);
    benchmark::DoNotOptimize(result.status);
  }
  state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(feed.size()));
}
BENCHMARK(BM_FeedParse_Reference)->Unit(benchmark::kMillisecond);

// Reads every field of every record by its path, "@1/@" i "/" field, as one board refresh does;
// the path is built in one reused buffer.
size_t ReadEveryField(const core::XmlDoc& doc, std::string& path) {
  size_t bytes = 0;
  std::ptrdiff_t n = doc.ChildCount("@1/");
  for (std::ptrdiff_t i = 1; i <= n; ++i) {
    for (const char* field : kFields) {
      char number[24];
      path.assign("@1/@");
      path.append(number, std::to_chars(number, number + sizeof number, i).ptr);
      path += '/';
      path += field;
      bytes += doc.Value(path).size();
    }
  }
  return bytes;
}

// The reading alone, on a freshly loaded document each time.
void ReadEveryFieldOf(benchmark::State& state, const std::string& feed) {
  std::string path;
  size_t bytes = 0;
  for (auto _ : state) {
    state.PauseTiming();
    core::XmlDoc doc;
    doc.Load(feed);
    state.ResumeTiming();
    bytes += ReadEveryField(doc, path);
    state.PauseTiming();
    doc.Release();
    state.ResumeTiming();
  }
  if (bytes == 0) state.SkipWithError("the feed did not load");
  state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(feed.size()));
}

void BM_FeedReadEveryField(benchmark::State& state) { ReadEveryFieldOf(state, Feed()); }
BENCHMARK(BM_FeedReadEveryField)->Unit(benchmark::kMillisecond);

// Four times the records: linear reading takes four times as long, a walk from the root to
// record n for every n sixteen times.
void BM_LargeFeedReadEveryField(benchmark::State& state) { ReadEveryFieldOf(state, LargeFeed()); }
BENCHMARK(BM_LargeFeedReadEveryField)->Unit(benchmark::kMillisecond);

// The floor for reading with pugixml: walking the records and their fields in document order
// and copying each field's text, without any paths.
void BM_FeedWalkEveryField_Reference(benchmark::State& state) {
  const std::string& feed = Feed();
  size_t bytes = 0;
  for (auto _ : state) {
    state.PauseTiming();
    pugi::xml_document doc;
    doc.load_buffer(feed.data(), feed.size(), pugi::parse_default, pugi::encoding_utf8);
    state.ResumeTiming();
    for (pugi::xml_node record : doc.document_element().children()) {
      for (pugi::xml_node field : record.children())
        bytes += std::string(field.child_value()).size();
    }
    state.PauseTiming();
    doc.reset();
    state.ResumeTiming();
  }
  benchmark::DoNotOptimize(bytes);
}
BENCHMARK(BM_FeedWalkEveryField_Reference)->Unit(benchmark::kMillisecond);

// What one board refresh does with the feed: load, count, read every field.
void BM_FeedLoadAndReadEveryField(benchmark::State& state) {
  const std::string& feed = Feed();
  std::string path;
  size_t bytes = 0;
  for (auto _ : state) {
    core::XmlDoc doc;
    doc.Load(feed);
    bytes += ReadEveryField(doc, path);
  }
  if (bytes == 0) state.SkipWithError("the feed did not load");
  state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(feed.size()));
}
BENCHMARK(BM_FeedLoadAndReadEveryField)->Unit(benchmark::kMillisecond);

constexpr size_t kTextSize = 1 << 20;

// 1 MB of an HTML-like GBK page (Chinese with some markup) and the sought text at its end.
const core::Text& GbkPage() {
  static const core::Text page = [] {
    const core::Text line =
        core::GbkFromUtf8("<p>本次更新修正了播放电台时偶尔出现的错误，并加快了启动速度。</p>\r\n");
    core::Text text;
    while (text.size() + line.size() < kTextSize) text += line;
    return text + core::GbkFromUtf8("更新说明结束");
  }();
  return page;
}

// 1 MB of Chinese without a single ASCII byte: the longest runs the search must keep step in.
const core::Text& GbkChinese() {
  static const core::Text page = [] {
    const core::Text run =
        core::GbkFromUtf8("本次更新修正了播放电台时偶尔出现的错误并加快了启动速度");
    core::Text text;
    while (text.size() + run.size() < kTextSize) text += run;
    return text + core::GbkFromUtf8("更新说明结束");
  }();
  return page;
}

const std::string& AsciiPage() {
  static const std::string page = [] {
    const std::string line = "<p>This update fixes a rare error when playing a station.</p>\r\n";
    std::string text;
    while (text.size() + line.size() < kTextSize) text += line;
    return text + "#end-of-notes";
  }();
  return page;
}

void BM_Find_Reference(benchmark::State& state) {
  const std::string& text = AsciiPage();
  // Its first byte occurs nowhere before, as the lead byte of a marker rarely does: this is the
  // speed of scanning memory.
  for (auto _ : state) benchmark::DoNotOptimize(text.find("#end-of-notes"));
  state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(text.size()));
}
BENCHMARK(BM_Find_Reference);

// Plain byte search over the same GBK page: what keeping to character starts costs on top.
void BM_FindGbkPageBytewise_Reference(benchmark::State& state) {
  const core::Text& text = GbkPage();
  const core::Text sought = core::GbkFromUtf8("更新说明结束");
  for (auto _ : state) benchmark::DoNotOptimize(text.find(sought));
  state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(text.size()));
}
BENCHMARK(BM_FindGbkPageBytewise_Reference);

void BM_FindGbkPage(benchmark::State& state) {
  const core::Text& text = GbkPage();
  const core::Text sought = core::GbkFromUtf8("更新说明结束");
  for (auto _ : state) benchmark::DoNotOptimize(core::TextFind(text, sought));
  state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(text.size()));
}
BENCHMARK(BM_FindGbkPage);

void BM_FindGbkAllChinese(benchmark::State& state) {
  const core::Text& text = GbkChinese();
  const core::Text sought = core::GbkFromUtf8("更新说明结束");
  for (auto _ : state) benchmark::DoNotOptimize(core::TextFind(text, sought));
  state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(text.size()));
}
BENCHMARK(BM_FindGbkAllChinese);

[[maybe_unused]] const bool kRatios[] = {
    // Reading must stay linear in the number of records: walking from the root to record n for
    // every n would cost a hundred times the parse and more.
    AddRatio({"BM_FeedReadEveryField", "BM_FeedParse_Reference", 4.0}),
    AddRatio({"BM_FeedLoadAndReadEveryField", "BM_FeedParse_Reference", 0}),
    AddRatio({"BM_FeedReadEveryField", "BM_FeedWalkEveryField_Reference", 0}),
    AddRatio({"BM_LargeFeedReadEveryField", "BM_FeedReadEveryField", 6.0}),
    AddRatio({"BM_FindGbkPage", "BM_Find_Reference", 0}),
    AddRatio({"BM_FindGbkPage", "BM_FindGbkPageBytewise_Reference", 0}),
    AddRatio({"BM_FindGbkAllChinese", "BM_Find_Reference", 0}),
};

}  // namespace
}  // namespace sonaro::bench
