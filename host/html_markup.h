// Markup built element by element: every text and every attribute value
// passes through one escaping, so a text from a task file can never become
// markup. Tag and attribute names are the program's own literals.
#pragma once

#include <initializer_list>
#include <string>
#include <string_view>
#include <vector>

namespace t2dhost {

// `raw` as HTML text or attribute value: markup characters escaped, control
// characters shown as their visible pictures (U+2400 on), bidirectional
// controls (which could show a name reversed) and the C1 controls written
// out as "[U+202E]",
// bytes that are not UTF-8 replaced by U+FFFD.
std::string EscapeHtml(std::string_view raw);

// One attribute; a null name leaves it out (an attribute that applies only
// sometimes).
struct Attribute {
  const char* name;
  std::string value;
};
using Attributes = std::initializer_list<Attribute>;

class Markup {
 public:
  // <tag attributes...>, closed by the matching Close.
  Markup& Open(const char* tag, Attributes attributes = {}, Attributes more = {});
  Markup& Close();
  // An element without content: <tag .../>, with the attributes of both
  // lists (the second for what a caller adds to a shape).
  Markup& Empty(const char* tag, Attributes attributes = {}, Attributes more = {});
  // Open, the text, Close.
  Markup& Element(const char* tag, Attributes attributes, std::string_view text);
  Markup& Element(const char* tag, std::string_view text) { return Element(tag, {}, text); }
  Markup& Text(std::string_view text);
  // A fragment built by another Markup, every element of it closed.
  Markup& Append(const Markup& fragment);
  // The page's stylesheet as the content of the open <style> element; it
  // may not end the element early.
  Markup& StyleSheet(std::string_view css);
  // "<!DOCTYPE html>" and a line break, at the start of a page.
  Markup& Doctype();
  // A line break between elements, to keep the page readable as text.
  Markup& Line() {
    out_ += '\n';
    return *this;
  }

  // The markup; every opened element must have been closed.
  std::string Take();

 private:
  void WriteAttributes(Attributes attributes);
  // "<tag" and the attributes, the tag left open.
  void StartTag(const char* tag, Attributes attributes, Attributes more);

  std::string out_;
  std::vector<const char*> open_;
};

}  // namespace t2dhost
