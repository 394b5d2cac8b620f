#include "html_markup.h"

#include <cstdint>
#include <cwchar>
#include <stdexcept>
#include <type_traits>
#include <utility>

#include "os_text.h"

namespace t2dhost {

namespace {

// The marks and embeddings that change the direction text is shown in.
bool IsBidiControl(uint32_t c) {
  return c == 0x061C || c == 0x200E || c == 0x200F || (c >= 0x202A && c <= 0x202E) || (c >= 0x2066 && c <= 0x2069);
}

}  // namespace

std::string EscapeHtml(std::string_view raw) {
  // Decoded, bytes that are not UTF-8 became U+FFFD.
  const std::wstring text = qxos::Utf8ToWide(std::string(raw));
  std::wstring out;
  out.reserve(text.size() + text.size() / 8);
  for (const wchar_t w : text) {
    const auto c = static_cast<uint32_t>(static_cast<std::make_unsigned_t<wchar_t>>(w));
    switch (c) {
      case '&':
        out += L"&amp;";
        break;
      case '<':
        out += L"&lt;";
        break;
      case '>':
        out += L"&gt;";
        break;
      case '"':
        out += L"&quot;";
        break;
      case '\'':
        out += L"&#39;";
        break;
      default:
        if (c < 0x20) {
          out += static_cast<wchar_t>(0x2400 + c);  // the control's picture
        } else if (c == 0x7F) {
          out += static_cast<wchar_t>(0x2421);
        } else if ((c >= 0x80 && c <= 0x9F) || IsBidiControl(c)) {
          wchar_t name[16];
          std::swprintf(name, sizeof name / sizeof name[0], L"[U+%04X]", static_cast<unsigned>(c));
          out += name;
        } else {
          out += w;
        }
    }
  }
  return qxos::WideToUtf8(out);
}

void Markup::WriteAttributes(Attributes attributes) {
  for (const Attribute& attribute : attributes) {
    if (attribute.name == nullptr) continue;
    out_ += ' ';
    out_ += attribute.name;
    out_ += "=\"";
    out_ += EscapeHtml(attribute.value);
    out_ += '"';
  }
}

void Markup::StartTag(const char* tag, Attributes attributes, Attributes more) {
  out_ += '<';
  out_ += tag;
  WriteAttributes(attributes);
  WriteAttributes(more);
}

Markup& Markup::Open(const char* tag, Attributes attributes, Attributes more) {
  StartTag(tag, attributes, more);
  out_ += '>';
  open_.push_back(tag);
  return *this;
}

Markup& Markup::Close() {
  if (open_.empty()) throw std::logic_error("markup: an element closed that was not opened");
  out_ += "</";
  out_ += open_.back();
  out_ += '>';
  open_.pop_back();
  return *this;
}

Markup& Markup::Empty(const char* tag, Attributes attributes, Attributes more) {
  StartTag(tag, attributes, more);
  out_ += "/>";
  return *this;
}

Markup& Markup::Element(const char* tag, Attributes attributes, std::string_view text) {
  Open(tag, attributes);
  Text(text);
  return Close();
}

Markup& Markup::Text(std::string_view text) {
  out_ += EscapeHtml(text);
  return *this;
}

Markup& Markup::Append(const Markup& fragment) {
  if (!fragment.open_.empty()) throw std::logic_error("markup: a fragment with open elements appended");
  out_ += fragment.out_;
  return *this;
}

Markup& Markup::StyleSheet(std::string_view css) {
  if (open_.empty() || std::string_view(open_.back()) != "style")
    throw std::logic_error("markup: a stylesheet outside <style>");
  if (css.find("</") != std::string_view::npos) throw std::logic_error("markup: a stylesheet that ends its element");
  out_ += css;
  return *this;
}

Markup& Markup::Doctype() {
  out_ += "<!DOCTYPE html>\n";
  return *this;
}

std::string Markup::Take() {
  if (!open_.empty()) throw std::logic_error(std::string("markup: <") + open_.back() + "> was not closed");
  return std::move(out_);
}

}  // namespace t2dhost
