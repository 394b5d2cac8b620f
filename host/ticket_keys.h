// The table of ticket keys: for each key the converter reads from the
// ticket's values (the configuration, the master dictionary, the master's
// options and info, the job and ink dictionaries, the job's contents, the
// work dictionary and the CIP3 parameters), the class it is read as, what its
// absence does, its unit and the items it goes into. One table serves
// `lint` (values of another class) and the key tables of docs/task-file.md,
// which are generated from it.
#pragma once

#include <string>
#include <vector>

#include "qxtypes.h"

namespace t2dhost {

// Where a key stands in the ticket.
enum class KeyPlace { kConfiguration, kMaster, kOptions, kInfo, kJob, kContents, kInk, kWork, kCip };

// The class a value is read as. kNumber: any number (QX_TDouble, QX_TInt32,
// QX_TUInt32, QX_TUInt16; QX_TBool counts as 1 or 0). kTruth: QX_TBool or a
// number.
enum class KeyClass { kNone, kInt32, kUInt32, kUInt16, kDouble, kNumber, kTruth, kBool, kString, kURL, kDict, kArray };

struct TicketKey {
  KeyPlace place;
  const char* keys;     // as the docs name them: "\"HSize\", \"VSize\"", "\"Masters\" / \"Order\""
  const char* readAs;   // the class in words (Markdown)
  const char* absent;   // what its absence does (Markdown; for the CIP3 parameters: whether it is required)
  const char* meaning;  // its meaning, unit and items (Markdown)
  KeyClass cls;
  KeyClass elements;    // an array's elements, a dictionary's values (SmartNames); kNone: not checked
  const char* unit;     // "length" (ticket units, micrometres in the examples), "dpi", "degrees", "factor", ...
  bool templated;       // resolved through the template names before it goes into an item
  // The result items it goes into, as `explain` names them, separated by
  // ", ": "setup.rsx", "jobs.N.hpos" (N: the job's number), "jobs.N.ink<index>"
  // (<index>: none or a number). A '?' after an item marks one written only
  // for some values of the key or with other keys; in an entry of several
  // keys, " (TopMargin)" after an item names the one key it comes from.
  const char* items;
};

// Every key, in the order of the docs' tables.
const std::vector<TicketKey>& AllTicketKeys();

// The entry of `key` (a plain key such as "HDistortion") at `place`; null
// when the table has none. "Masters" / "Order" is found as "Order" at the
// configuration.
const TicketKey* FindTicketKey(KeyPlace place, const std::string& key);

// The class's name as the value library names it ("QX_TDouble"), or
// "number", "truth value".
const char* KeyClassName(KeyClass cls);

// Whether a value of class `className` (QX_TAny::ClassName()) is read as
// `cls` without failing.
bool ClassFits(KeyClass cls, const std::string& className);

// One item of an entry: its pattern, whether it is marked '?', and the key
// it comes from (empty: every key of the entry).
struct KeyItem {
  std::string pattern;
  bool optional = false;
  std::string key;
};
std::vector<KeyItem> ItemsOf(const TicketKey& entry);

// The plain keys an entry names: "HSize" and "VSize" for "\"HSize\",
// \"VSize\""; "Order" for "\"Masters\" / \"Order\"".
std::vector<std::string> KeysOf(const TicketKey& entry);

// Whether the item `item` ("jobs.2.hpos", "setup.rsx") is one that `pattern`
// (an item of the table: "jobs.N.hpos", "jobs.N.ink<index>") names.
bool ItemMatches(const std::string& pattern, const std::string& item);

// The keys whose items include `item` ("jobs.2.hpos"), each once, in the
// table's order: "HDistortion", "Rotation", ...
std::vector<std::string> KeysFeeding(const std::string& item);

// How a value of `cls` is written in a task file, in words.
const char* HowToWrite(KeyClass cls);

// The Markdown table of the keys at `place`, between its two marker lines,
// as docs/task-file.md holds it.
std::string TicketKeyTableMarkdown(KeyPlace place);
constexpr const char* kKeyTableBegin = "<!-- Generated from the table of ticket keys: do not edit by hand. -->\n";
constexpr const char* kKeyTableEnd = "<!-- End of the generated table. -->\n";

// Every place, in the order of the docs.
constexpr KeyPlace kAllKeyPlaces[] = {KeyPlace::kConfiguration, KeyPlace::kMaster, KeyPlace::kOptions,
                                      KeyPlace::kInfo,          KeyPlace::kJob,    KeyPlace::kContents,
                                      KeyPlace::kInk,           KeyPlace::kWork,   KeyPlace::kCip};

}  // namespace t2dhost
