// Where a value of the value library came from: its place in the task file
// that the host read it from, written as a key path ("ticket.configuration.
// Masters.M1.Jobs[0].Rotation"). The host's reader gives every dictionary,
// tree and array it builds an origin; values built by the converter or by a
// service have none.
//
// Origins serve two things, both off the hot path:
// - a failed checked conversion of a looked-up value names the key and its
//   key path (QX_TLookup);
// - a read observer bound to the calling thread (qx_observation.h) hears
//   every lookup in a collection with an origin (found or absent), which the
//   host's conversion trace records. Without an observer a lookup costs one pointer test more.
#pragma once

#include <cstddef>
#include <deque>
#include <memory>
#include <string>

#include "qx_observation.h"

class QX_TAny;
class QX_TString;

class QX_TOrigin {
 public:
  // The key path of this place, and of its member `key` or element `position`.
  std::string Path() const;
  std::string MemberPath(const std::string& key) const { return MemberPathOf(Path(), key); }
  std::string ElementPath(size_t position) const { return ElementPathOf(Path(), position); }

  // The key path style of the task file: members with ".", keys that are not
  // plain words (letters, digits, '_', '-', '@') as a quoted text in
  // brackets (servers[""], ticket.work["a b"]), elements as [n].
  static std::string MemberPathOf(const std::string& where, const std::string& key);
  static std::string ElementPathOf(const std::string& where, size_t position);
  // `text` as a JSON string: quotes, backslashes and control characters
  // escaped, invalid UTF-8 replaced by U+FFFD. Messages quote what they echo
  // with it, so that a message is always one line.
  static std::string Quoted(const std::string& text);

 private:
  friend class QX_TOrigins;
  enum class Kind { kRoot, kMember, kElement };
  QX_TOrigin(Kind kind, const QX_TOrigin* parent, std::string text, size_t position)
      : kind_(kind), parent_(parent), text_(std::move(text)), position_(position) {}

  Kind kind_;
  const QX_TOrigin* parent_;  // kept by the same QX_TOrigins
  std::string text_;          // the root's path, or the member's key
  size_t position_;           // the element's position
};

// The places of one task file. The reader makes one table for the file and
// a place for each dictionary, tree and array it builds; the collections
// keep the table alive (QX_TKeyedCollection::SetOrigin), so a place stays
// valid as long as any value standing there does. Places are added only
// while the file is read; after that the table is only read.
class QX_TOrigins {
 public:
  // The place `path` of the task file (a key path, "" for the top level).
  const QX_TOrigin* At(std::string path);
  // Member `key` of the value at `parent`.
  const QX_TOrigin* Member(const QX_TOrigin* parent, std::string key);
  // Element `position` (0 for the first, whatever the array's lower bound)
  // of the array at `parent`.
  const QX_TOrigin* Element(const QX_TOrigin* parent, size_t position);

 private:
  std::deque<QX_TOrigin> places_;  // a deque: places never move
};

