#pragma once

#include <optional>
#include <string>
#include <string_view>

// HTML as the program writes it (escaped text in its own pages and reports) and as it reads it out of
// marketplace pages and answers: start tags found by name, attributes and class names, an element's
// content up to its own end tag, and the text a reader sees. The readers never build a document tree;
// they take what they need in one pass over the markup.

namespace tarvisk {

/// `text` with &, <, >, " and ' replaced by character references, so that it reads as plain text
/// inside an element and inside an attribute quoted with either kind of quote.
/// EscapeHtml(u"<b a='1'>") == u"&lt;b a=&#39;1&#39;&gt;".
std::u16string EscapeHtml(const std::u16string& text);

/// `bytes` as a data: address of the type `mimeType` (base64), for a document that must carry its own images:
/// DataUri("image/png", "\x89PNG") == u"data:image/png;base64,iVBORw==".
std::u16string DataUri(std::string_view mimeType, std::string_view bytes);

/// `text` with its character references read: the named ones of markup and blanks (&amp; &lt; &gt;
/// &quot; &apos; &nbsp; &yen;), decimal (&#39;) and hexadecimal (&#x4E2D;) ones. A reference that is not
/// one of these, or that names no character, stays as written. DecodeHtmlText(u"a&amp;b&#x4E2D;") == u"a&b中".
std::u16string DecodeHtmlText(std::u16string_view text);

/// One start tag of a page: where its "<" stands and the tag itself, from "<" to ">" (to the end of the
/// text when it is not closed).
struct HtmlTag {
    std::size_t offset = std::u16string_view::npos;
    std::u16string_view text;
    bool found() const { return offset != std::u16string_view::npos; }
};

/// The first start tag named `name` (letter case aside) at or after `from`: u"<dl class=x>" for u"dl",
/// never u"<dlx>" or u"</dl>". Not found when there is none.
HtmlTag FindHtmlTag(std::u16string_view html, std::u16string_view name, std::size_t from = 0);

/// The first start tag of any name (a "<" and a letter) at or after `from`. Reading a page tag by tag from where
/// the one before ended reads each character once, whatever the tags' attributes hold.
HtmlTag NextHtmlTag(std::u16string_view html, std::size_t from = 0);

/// The value of the attribute `name` (letter case aside) of a start tag, its references read; none
/// when the tag has no such attribute. Quoted with either quote or not at all; a bare attribute
/// (u"<input disabled>") has the empty value.
std::optional<std::u16string> HtmlAttribute(std::u16string_view tag, std::u16string_view name);

/// True when the class attribute of a start tag holds `className` as one of its names:
/// u"<a class=\"item-name J_Gold\">" has u"item-name", never u"item".
bool HtmlHasClass(std::u16string_view tag, std::u16string_view className);

/// The content of the element whose start tag is `tag` in `html`: from after the tag to its own end tag,
/// elements of the same name inside it counted; to the end of `html` when it is never closed.
std::u16string_view HtmlElementContent(std::u16string_view html, const HtmlTag& tag);

/// The markup a page draws: `html` without its comments, scripts, style sheets and templates, whose links and
/// words a visitor never sees; the other tags stay as written.
/// DrawnMarkup(u"<p>a</p><script>var t='<a href=x>';</script><!-- <a> -->") == u"<p>a</p>".
std::u16string DrawnMarkup(std::u16string_view html);

/// The text of a piece of markup as a reader sees it: tags, comments, scripts, style sheets and templates left out,
/// references read, runs of blanks (line breaks, tabs, no-break spaces) made one space, and no blank at either end.
/// HtmlText(u"<span class=H>连衣裙</span> 女\n 夏&amp;秋") == u"连衣裙 女 夏&秋".
std::u16string HtmlText(std::u16string_view html);

} // namespace tarvisk
