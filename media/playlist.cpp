#include "media/playlist.h"

#include <QRegularExpression>
#include <QString>
#include <QStringDecoder>
#include <QStringList>
#include <QUrl>
#include <cctype>
#include <map>
#include <optional>

#include "core/gbk.h"

namespace sonaro::media {

namespace {

constexpr size_t kSniffLimit = 4096;  // an ASX tag further in than this is not looked for

enum class Encoding { Utf8, Utf16LE, Utf16BE, Unknown };

// The byte order mark, if any, and its length.
Encoding BomOf(std::string_view bytes, size_t* length) {
  *length = 0;
  if (bytes.substr(0, 3) == "\xEF\xBB\xBF") return *length = 3, Encoding::Utf8;
  if (bytes.substr(0, 2) == "\xFF\xFE") return *length = 2, Encoding::Utf16LE;
  if (bytes.substr(0, 2) == "\xFE\xFF") return *length = 2, Encoding::Utf16BE;
  return Encoding::Unknown;
}

char LowerAscii(char c) { return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c; }

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\f'; }

// The sniffed bytes as ASCII text: UTF-16 reduced to its low bytes (non-ASCII becomes '?').
std::string AsciiView(std::string_view head) {
  size_t bom = 0;
  const Encoding encoding = BomOf(head, &bom);
  head.remove_prefix(bom);
  std::string view;
  if (encoding == Encoding::Utf16LE || encoding == Encoding::Utf16BE) {
    for (size_t i = 0; i + 1 < head.size(); i += 2) {
      const char low = encoding == Encoding::Utf16LE ? head[i] : head[i + 1];
      const char high = encoding == Encoding::Utf16LE ? head[i + 1] : head[i];
      view += high == 0 ? low : '?';
    }
  } else {
    view.assign(head);
  }
  return view;
}

bool StartsWithNoCase(std::string_view text, std::string_view prefix) {
  if (text.size() < prefix.size()) return false;
  for (size_t i = 0; i < prefix.size(); ++i) {
    if (LowerAscii(text[i]) != prefix[i]) return false;
  }
  return true;
}

// True when text is shorter than word and could still grow into it.
bool CouldBecome(std::string_view text, std::string_view word) {
  if (text.size() >= word.size()) return false;
  for (size_t i = 0; i < text.size(); ++i) {
    if (LowerAscii(text[i]) != word[i]) return false;
  }
  return true;
}

bool ContainsNoCase(std::string_view text, std::string_view word) {
  for (size_t i = 0; i + word.size() <= text.size(); ++i) {
    if (StartsWithNoCase(text.substr(i), word)) return true;
  }
  return false;
}

// How many bytes at the end are the start of a UTF-8 character that the body does not finish.
size_t CutUtf8Tail(std::string_view bytes) {
  size_t following = 0;  // continuation bytes at the very end
  while (following < 3 && following < bytes.size() &&
         (static_cast<unsigned char>(bytes[bytes.size() - 1 - following]) & 0xC0) == 0x80) {
    ++following;
  }
  if (following == bytes.size()) return 0;
  const auto lead = static_cast<unsigned char>(bytes[bytes.size() - 1 - following]);
  const size_t length = lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : lead >= 0xC0 ? 2 : 1;
  return length > following + 1 ? following + 1 : 0;
}

QString DecodeBody(std::string_view body) {
  size_t bom = 0;
  switch (BomOf(body, &bom)) {
    case Encoding::Utf8:
      return QString::fromUtf8(body.data() + bom, qsizetype(body.size() - bom));
    case Encoding::Utf16LE: {
      QStringDecoder decoder(QStringDecoder::Utf16LE);
      return decoder.decode(QByteArrayView(body.data() + bom, qsizetype(body.size() - bom)));
    }
    case Encoding::Utf16BE: {
      QStringDecoder decoder(QStringDecoder::Utf16BE);
      return decoder.decode(QByteArrayView(body.data() + bom, qsizetype(body.size() - bom)));
    }
    case Encoding::Unknown:
      break;
  }
  QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
  QString text = utf8.decode(QByteArrayView(body.data(), qsizetype(body.size())));
  if (!utf8.hasError()) return text;
  // A body cut off inside its last character (a torn file, a read stopped at its limit) is still
  // UTF-8: the cut character is dropped rather than the whole read as GBK.
  if (const size_t cut = CutUtf8Tail(body); cut > 0) {
    QStringDecoder rest(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    text = rest.decode(QByteArrayView(body.data(), qsizetype(body.size() - cut)));
    if (!rest.hasError()) return text;
  }
  return core::FromGbk(body);  // the servers of Chinese stations write their playlists in GBK
}

// &amp; &lt; &gt; &quot; &apos; &#n; &#xh; decoded; anything else after '&' kept as written.
QString DecodeEntities(const QString& value) {
  QString out;
  out.reserve(value.size());
  for (qsizetype i = 0; i < value.size(); ++i) {
    const QChar c = value[i];
    if (c != u'&') {
      out += c;
      continue;
    }
    const qsizetype semicolon = value.indexOf(u';', i + 1);
    if (semicolon < 0 || semicolon - i > 10) {
      out += c;
      continue;
    }
    const QString name = value.mid(i + 1, semicolon - i - 1).toLower();
    std::optional<char32_t> code;
    if (name == u"amp") code = U'&';
    if (name == u"lt") code = U'<';
    if (name == u"gt") code = U'>';
    if (name == u"quot") code = U'"';
    if (name == u"apos") code = U'\'';
    if (name.startsWith(u'#') && name.size() > 1) {
      bool ok = false;
      const uint number =
          name.startsWith(u"#x") ? name.mid(2).toUInt(&ok, 16) : name.mid(1).toUInt(&ok, 10);
      if (ok && number > 0 && number <= 0x10FFFF && (number < 0xD800 || number > 0xDFFF)) {
        code = char32_t(number);
      }
    }
    if (!code) {
      out += c;
      continue;
    }
    out += QString::fromUcs4(&*code, 1);
    i = semicolon;
  }
  return out;
}

struct Tag {
  QString name;  // lower case, without '/'
  bool closing = false;
  std::vector<std::pair<QString, QString>> attributes;  // names lower case, values decoded
  QString Attribute(const QString& wanted) const {
    for (const auto& [name, value] : attributes) {
      if (name == wanted) return value;
    }
    return {};
  }
};

bool IsNameChar(QChar c) {
  return c.isLetterOrNumber() || c == u'_' || c == u'-' || c == u':' || c == u'.';
}

// Reads the tag that starts at text[i] == '<'; i ends after its '>' (or at the end).
Tag ReadTag(const QString& text, qsizetype& i) {
  Tag tag;
  const qsizetype n = text.size();
  ++i;
  while (i < n && text[i].isSpace()) ++i;
  if (i < n && text[i] == u'/') {
    tag.closing = true;
    ++i;
  }
  const qsizetype nameStart = i;
  while (i < n && IsNameChar(text[i])) ++i;
  tag.name = text.mid(nameStart, i - nameStart).toLower();
  while (i < n && text[i] != u'>') {
    if (text[i].isSpace() || text[i] == u'/') {
      ++i;
      continue;
    }
    const qsizetype attrStart = i;
    while (i < n && !text[i].isSpace() && text[i] != u'=' && text[i] != u'>' && text[i] != u'/')
      ++i;
    const QString name = text.mid(attrStart, i - attrStart).toLower();
    if (name.isEmpty()) {
      ++i;  // a stray character; step over it
      continue;
    }
    while (i < n && text[i].isSpace()) ++i;
    QString value;
    if (i < n && text[i] == u'=') {
      ++i;
      while (i < n && text[i].isSpace()) ++i;
      if (i < n && (text[i] == u'"' || text[i] == u'\'')) {
        const QChar quote = text[i++];
        const qsizetype end = text.indexOf(quote, i);
        const qsizetype stop = end < 0 ? n : end;
        value = text.mid(i, stop - i);
        i = end < 0 ? n : end + 1;
      } else {
        const qsizetype valueStart = i;
        while (i < n && !text[i].isSpace() && text[i] != u'>') ++i;
        value = text.mid(valueStart, i - valueStart);
        // "<ref href=x/>": the slash closes the tag, it is not part of the address
        if (value.endsWith(u'/') && i < n && text[i] == u'>') value.chop(1);
      }
    }
    tag.attributes.emplace_back(name, DecodeEntities(value).trimmed());
  }
  if (i < n) ++i;  // '>'
  return tag;
}

std::string Absolute(const QString& address, const QUrl& base) {
  if (address.isEmpty()) return {};
  QUrl url(address, QUrl::TolerantMode);
  if (url.isRelative() && base.isValid()) url = base.resolved(url);
  if (!url.isValid() || url.scheme().isEmpty()) return {};
  return url.toEncoded().toStdString();
}

void AddRef(PlaylistEntry& entry, std::string address) {
  if (address.empty() || entry.refs.size() >= kMaxRefsPerEntry) return;
  entry.refs.push_back(std::move(address));
}

void AddEntry(Playlist& playlist, PlaylistEntry entry) {
  if (entry.refs.empty() || playlist.entries.size() >= kMaxPlaylistEntries) return;
  playlist.entries.push_back(std::move(entry));
}

Playlist ParseAsx(const QString& text, const QUrl& address) {
  Playlist playlist;
  QUrl base = address;
  QUrl entryBase;
  std::optional<PlaylistEntry> entry;
  const qsizetype n = text.size();
  qsizetype i = 0;
  while (i < n) {
    const qsizetype open = text.indexOf(u'<', i);
    if (open < 0) break;
    i = open;
    if (text.mid(i, 4) == u"<!--") {
      const qsizetype end = text.indexOf(u"-->", i + 4);
      i = end < 0 ? n : end + 3;
      continue;
    }
    if (i + 1 < n && (text[i + 1] == u'!' || text[i + 1] == u'?')) {  // declarations
      const qsizetype end = text.indexOf(u'>', i);
      i = end < 0 ? n : end + 1;
      continue;
    }
    const Tag tag = ReadTag(text, i);
    const QUrl& currentBase = entry && entryBase.isValid() ? entryBase : base;
    if (tag.name == u"entry") {
      if (entry) AddEntry(playlist, std::move(*entry));
      entry.reset();
      entryBase = QUrl();
      if (!tag.closing) entry.emplace();
    } else if (tag.name == u"ref" && !tag.closing) {
      std::string ref = Absolute(tag.Attribute(QStringLiteral("href")), currentBase);
      if (entry) {
        AddRef(*entry, std::move(ref));
      } else {  // a ref outside any entry is an entry of its own
        PlaylistEntry single;
        AddRef(single, std::move(ref));
        AddEntry(playlist, std::move(single));
      }
    } else if (tag.name == u"entryref" && !tag.closing) {
      if (entry) {
        AddEntry(playlist, std::move(*entry));
        entry.reset();
      }
      PlaylistEntry nested;
      AddRef(nested, Absolute(tag.Attribute(QStringLiteral("href")), base));
      AddEntry(playlist, std::move(nested));
    } else if (tag.name == u"base" && !tag.closing) {
      const QUrl given(tag.Attribute(QStringLiteral("href")), QUrl::TolerantMode);
      if (given.isValid() && !given.isEmpty()) {
        const QUrl resolved = given.isRelative() ? base.resolved(given) : given;
        (entry ? entryBase : base) = resolved;
      }
    } else if (tag.name == u"asx" && tag.closing) {
      break;
    }
    if (playlist.entries.size() >= kMaxPlaylistEntries) break;
  }
  if (entry) AddEntry(playlist, std::move(*entry));  // an entry left open at the end
  return playlist;
}

Playlist ParseReference(const QString& text, const QUrl& address) {
  PlaylistEntry entry;
  const QStringList lines = text.split(QRegularExpression(QStringLiteral("[\r\n]+")));
  bool inReference = false;
  for (const QString& raw : lines) {
    const QString line = raw.trimmed();
    if (line.startsWith(u'[')) {
      inReference = line.compare(u"[reference]", Qt::CaseInsensitive) == 0;
      continue;
    }
    if (!inReference || !line.startsWith(u"ref", Qt::CaseInsensitive)) continue;
    const qsizetype equals = line.indexOf(u'=');
    if (equals < 0) continue;
    const std::string ref = Absolute(line.mid(equals + 1).trimmed(), address);
    if (ref.empty()) continue;
    if (StartsWithNoCase(ref, "http://")) AddRef(entry, "mmsh://" + ref.substr(7));
    AddRef(entry, ref);
  }
  Playlist playlist;
  AddEntry(playlist, std::move(entry));
  return playlist;
}

std::vector<QString> Lines(const QString& text) {
  std::vector<QString> lines;
  for (const QString& raw : text.split(QRegularExpression(QStringLiteral("[\r\n]+")))) {
    const QString line = raw.trimmed();
    if (!line.isEmpty()) lines.push_back(line);
  }
  return lines;
}

// [playlist] with FileN=, TitleN=: entries in the order of N, whatever the order of the lines.
Playlist ParsePls(const QString& text, const QUrl& base) {
  std::map<uint, PlaylistEntry> numbered;
  bool inPlaylist = false;
  for (const QString& line : Lines(text)) {
    if (line.startsWith(u'[')) {
      inPlaylist = line.compare(u"[playlist]", Qt::CaseInsensitive) == 0;
      continue;
    }
    const qsizetype equals = line.indexOf(u'=');
    if (!inPlaylist || equals < 0) continue;
    const QString key = line.left(equals).trimmed().toLower();
    const QString value = line.mid(equals + 1).trimmed();
    const bool isFile = key.startsWith(u"file"), isTitle = key.startsWith(u"title");
    if (!isFile && !isTitle) continue;
    bool ok = false;
    const uint number = key.mid(isFile ? 4 : 5).toUInt(&ok);
    if (!ok) continue;
    if (!numbered.count(number) && numbered.size() >= kMaxPlaylistEntries) continue;
    PlaylistEntry& entry = numbered[number];
    if (isFile && entry.refs.empty()) AddRef(entry, Absolute(value, base));
    if (isTitle) entry.title = value.left(256).toStdString();
  }
  Playlist playlist;
  playlist.alternatives = true;
  for (auto& [number, entry] : numbered) AddEntry(playlist, std::move(entry));
  return playlist;
}

// M3U: one address a line; "#EXTINF:<length>[ attributes],<title>" names the next one. A line
// "#EXT-X-…" makes it an HLS playlist, which is the media library's to read.
Playlist ParseM3u(const QString& text, const QUrl& base) {
  Playlist playlist;
  playlist.alternatives = true;
  QString title;
  for (const QString& line : Lines(text)) {
    if (line.startsWith(u"#EXT-X-", Qt::CaseInsensitive)) {
      return Playlist{.entries = {}, .alternatives = false, .hls = true};
    }
    if (line.startsWith(u"#EXTINF:", Qt::CaseInsensitive)) {
      const qsizetype comma = line.indexOf(u',');
      title = comma < 0 ? QString() : line.mid(comma + 1).trimmed().left(256);
      continue;
    }
    if (line.startsWith(u'#')) continue;
    if (playlist.entries.size() >= kMaxPlaylistEntries) continue;  // still looking for HLS tags
    PlaylistEntry entry;
    AddRef(entry, Absolute(line, base));
    entry.title = title.toStdString();
    title.clear();
    AddEntry(playlist, std::move(entry));
  }
  return playlist;
}

}  // namespace

bool IsPlaylistContentType(std::string_view contentType) {
  std::string type;
  for (char c : contentType.substr(0, contentType.find(';'))) {
    if (!IsBlank(c)) type += LowerAscii(c);
  }
  for (std::string_view known :
       {"audio/x-scpls", "audio/scpls", "application/pls+xml", "audio/x-mpegurl", "audio/mpegurl",
        "application/x-mpegurl", "application/vnd.apple.mpegurl", "audio/x-mpequrl"}) {
    if (type == known) return true;
  }
  return false;
}

Sniffed SniffPlaylist(std::string_view head, bool complete, std::string_view contentType) {
  const std::string ascii = AsciiView(head.substr(0, kSniffLimit));
  size_t start = 0;
  while (start < ascii.size() && IsBlank(ascii[start])) ++start;
  const std::string_view text = std::string_view(ascii).substr(start);
  const bool more = !complete && head.size() < kSniffLimit;
  if (text.empty()) return more ? Sniffed::NeedMore : Sniffed::Media;
  for (std::string_view word : {"<asx", "[reference]", "[playlist]", "#extm3u"}) {
    if (StartsWithNoCase(text, word)) return Sniffed::Playlist;
  }
  for (std::string_view word : {"<asx", "[reference]", "[playlist]", "#extm3u"}) {
    if (more && CouldBecome(text, word)) return Sniffed::NeedMore;
  }
  // An XML declaration or a comment may come first.
  if (text[0] == '<') {
    if (ContainsNoCase(text, "<asx")) return Sniffed::Playlist;
    return more ? Sniffed::NeedMore : Sniffed::Media;
  }
  // A plain M3U: its first line is an address. No stream starts with "scheme://".
  const std::string_view line = text.substr(0, text.find_first_of("\r\n"));
  size_t scheme = 0;
  while (scheme < line.size() && std::isalpha(static_cast<unsigned char>(line[scheme]))) ++scheme;
  const bool lineEnded = line.size() < text.size() || !more;
  if (scheme > 0 && line.substr(scheme, 3) == "://" && line.size() > scheme + 3)
    return lineEnded ? Sniffed::Playlist : Sniffed::NeedMore;
  if (more && scheme == line.size() && !lineEnded) return Sniffed::NeedMore;  // "htt"
  if (more && scheme > 0 && CouldBecome(line.substr(scheme), "://")) return Sniffed::NeedMore;
  // A comment line first: a playlist when the server calls it one.
  if (text[0] == '#' && IsPlaylistContentType(contentType)) {
    for (char c : text) {
      const auto byte = static_cast<unsigned char>(c);
      if (byte < 0x20 && !IsBlank(c)) return Sniffed::Media;
    }
    return lineEnded ? Sniffed::Playlist : Sniffed::NeedMore;
  }
  return Sniffed::Media;
}

std::string PlaylistTextAsUtf8(std::string_view body) { return DecodeBody(body).toStdString(); }

Playlist ParsePlaylist(std::string_view body, std::string_view baseAddress) {
  const QString text = DecodeBody(body);
  const QUrl base(QString::fromUtf8(baseAddress.data(), qsizetype(baseAddress.size())),
                  QUrl::TolerantMode);
  const QString start = text.left(64).trimmed();
  if (start.startsWith(u"[reference]", Qt::CaseInsensitive)) return ParseReference(text, base);
  if (start.startsWith(u"[playlist]", Qt::CaseInsensitive)) return ParsePls(text, base);
  if (start.startsWith(u'<')) return ParseAsx(text, base);
  return ParseM3u(text, base);
}

}  // namespace sonaro::media
