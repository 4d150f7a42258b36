#pragma once

#include <string>
#include <string_view>
#include <vector>

// A small reader for the form fields of the back end's own pages. Tag and attribute names are
// compared ignoring ASCII case; attribute values may be double-quoted, single-quoted or bare and
// are returned as written (entities are not decoded). Comments are skipped.
namespace oz::backend {

// `findElement`: the first element named tagName whose attribute attributeName has exactly the
// value attributeValue: its markup from the start tag through the matching end tag (nested
// elements of the same name counted), or the start tag alone for an empty element ("input",
// "<.../>"). Without an end tag it runs to the end of the text. Empty when there is none.
std::string findElement(std::string_view html, std::string_view tagName, std::string_view attributeName,
                        std::string_view attributeValue);

// `elementAttribute`: the value of the named attribute of the element's start tag; empty when
// the attribute is absent.
std::string elementAttribute(std::string_view element, std::string_view name);

// `childElements`: the elements named tagName inside the element (after its start tag), in
// document order. Each ends at its end tag or at the start of the next one of the same name,
// whichever comes first (they do not nest); without either it runs to the end. Linear in the text.
std::vector<std::string> childElements(std::string_view element, std::string_view tagName);

// The text after the element's start tag up to its own end tag, or without one up to the next "<"
// (or the end): an option's text as the page holds it. The back end writes a category's name
// into its option as stored, so a name holding "<" ("Latin Cat & <b>") stays whole.
std::string elementText(std::string_view element);

// A page read as a browser reads its markup, for the texts whose place on the page counts (a
// message, a success link): the start and end tags in order, the text between them, and each
// script's content. Left out, so that nothing in them can pass for what the page shows: comments,
// the content of the elements whose content is not markup (title, style, textarea, noscript, xmp,
// iframe, noembed, noframes, template), the inside of tags (attribute values), and everything after
// "</html>" or "<plaintext>".
struct PageToken {
    enum class Kind { Text, Start, End, Script };
    Kind kind = Kind::Text;
    std::string_view name;  // Start, End: the tag name as written
    std::string text;  // Start: the whole start tag; Text: the text, comments removed; Script: its content
};
std::vector<PageToken> pageTokens(std::string_view html);

}  // namespace oz::backend
