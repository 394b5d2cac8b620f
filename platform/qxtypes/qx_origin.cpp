#include "qx_origin.h"

#include "os_text.h"
#include "qx_read_observer.h"

#include <cstdio>
#include <vector>

// The observer bound to each thread (see qx_read_observer.h).
thread_local QX_IReadObserver* qx_tReadObserver QX_INITIAL_EXEC_TLS = nullptr;

namespace {

bool IsPlainKey(const std::string& key) {
  if (key.empty()) return false;
  for (char c : key) {
    const bool ok = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_' ||
                    c == '-' || c == '@';
    if (!ok) return false;
  }
  return true;
}

void AppendEscaped(std::string& out, unsigned char c) {
  static const char kHex[] = "0123456789abcdef";
  switch (c) {
    case '"': out += "\\\""; return;
    case '\\': out += "\\\\"; return;
    case '\b': out += "\\b"; return;
    case '\f': out += "\\f"; return;
    case '\n': out += "\\n"; return;
    case '\r': out += "\\r"; return;
    case '\t': out += "\\t"; return;
    default:
      if (c < 0x20) {
        out += "\\u00";
        out += kHex[c >> 4];
        out += kHex[c & 0xF];
      } else {
        out += static_cast<char>(c);
      }
  }
}

}  // namespace

const QX_TOrigin* QX_TOrigins::At(std::string path) {
  places_.push_back(QX_TOrigin(QX_TOrigin::Kind::kRoot, nullptr, std::move(path), 0));
  return &places_.back();
}

const QX_TOrigin* QX_TOrigins::Member(const QX_TOrigin* parent, std::string key) {
  places_.push_back(QX_TOrigin(QX_TOrigin::Kind::kMember, parent, std::move(key), 0));
  return &places_.back();
}

const QX_TOrigin* QX_TOrigins::Element(const QX_TOrigin* parent, size_t position) {
  places_.push_back(QX_TOrigin(QX_TOrigin::Kind::kElement, parent, std::string(), position));
  return &places_.back();
}

std::string QX_TOrigin::Path() const {
  // Walked from this place up to the root, then written from the root down.
  std::vector<const QX_TOrigin*> chain;
  for (const QX_TOrigin* at = this; at != nullptr; at = at->parent_) chain.push_back(at);
  std::string path;
  for (auto it = chain.rbegin(); it != chain.rend(); ++it) {
    const QX_TOrigin& place = **it;
    switch (place.kind_) {
      case Kind::kRoot: path = place.text_; break;
      case Kind::kMember: path = MemberPathOf(path, place.text_); break;
      case Kind::kElement: path = ElementPathOf(path, place.position_); break;
    }
  }
  return path;
}

// Built in one allocation: a trace names a path for every value read.
std::string QX_TOrigin::MemberPathOf(const std::string& where, const std::string& key) {
  if (IsPlainKey(key)) {
    if (where.empty()) return key;
    std::string path;
    path.reserve(where.size() + 1 + key.size());
    path += where;
    path += '.';
    path += key;
    return path;
  }
  const std::string quoted = Quoted(key);
  std::string path;
  path.reserve(where.size() + quoted.size() + 2);
  path += where;
  path += '[';
  path += quoted;
  path += ']';
  return path;
}

std::string QX_TOrigin::ElementPathOf(const std::string& where, size_t position) {
  char digits[24];
  const int length = std::snprintf(digits, sizeof digits, "%zu", position);
  std::string path;
  path.reserve(where.size() + static_cast<size_t>(length) + 2);
  path += where;
  path += '[';
  path.append(digits, static_cast<size_t>(length));
  path += ']';
  return path;
}

std::string QX_TOrigin::Quoted(const std::string& text) {
  // Each well-formed UTF-8 sequence is copied; a byte that breaks a sequence
  // ends it with U+FFFD, and is itself read again as the start of the next.
  static const char kReplacement[] = "\xEF\xBF\xBD";
  std::string out;
  out.reserve(text.size() + 2);
  out += '"';
  const size_t size = text.size();
  size_t i = 0;
  while (i < size) {
    const unsigned char lead = static_cast<unsigned char>(text[i]);
    if (lead < 0x80) {
      AppendEscaped(out, lead);
      ++i;
      continue;
    }
    unsigned char low = 0, high = 0;
    const int continuation = qxos::Utf8SequenceLength(lead, low, high);
    if (continuation == 0) {
      out += kReplacement;
      ++i;
      continue;
    }
    size_t end = i + 1;
    bool whole = true;
    for (int k = 0; k < continuation; ++k, ++end) {
      if (end >= size) {
        whole = false;
        break;
      }
      const unsigned char c = static_cast<unsigned char>(text[end]);
      if (c < low || c > high) {
        whole = false;
        break;
      }
      low = 0x80;
      high = 0xBF;
    }
    if (whole) {
      out.append(text, i, end - i);
    } else {
      out += kReplacement;  // the byte at `end` (if any) starts again
    }
    i = end;
  }
  out += '"';
  return out;
}

QX_TReadObserverBinding::QX_TReadObserverBinding(QX_IReadObserver* observer) : previous_(qx_tReadObserver) {
  qx_tReadObserver = observer;
}

QX_TReadObserverBinding::~QX_TReadObserverBinding() { qx_tReadObserver = previous_; }

QX_IReadObserver* QX_TReadObserverBinding::Current() { return qx_tReadObserver; }
