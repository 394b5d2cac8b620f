// The table of ticket keys against what the program does: the items each
// key goes into are written when an example holds the key, and the item
// patterns name the items they should.
#include <gtest/gtest.h>

#include <algorithm>
#include <set>
#include <tuple>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <map>

#include "host_program.h"
#include "task_file.h"
#include "ticket_keys.h"

namespace {

using t2dhost::Json;
using t2dhost::KeyPlace;

// An array of the task file, plain or tagged ({"@array": [...]}).
Json Elements(const Json& value) {
  if (value.is_array()) return value;
  if (value.is_object() && value.contains("@array")) return value["@array"];
  return Json::array();
}

void Keys(const Json& dictionary, KeyPlace place, std::set<std::pair<KeyPlace, std::string>>& held) {
  if (!dictionary.is_object()) return;
  for (const auto& entry : dictionary.items()) held.emplace(place, entry.key());
}

// The keys of the ticket by where they stand.
std::set<std::pair<KeyPlace, std::string>> HeldKeys(const Json& ticket) {
  std::set<std::pair<KeyPlace, std::string>> held;
  const Json& configuration = ticket.at("configuration");
  Keys(configuration, KeyPlace::kConfiguration, held);
  if (configuration.contains("CipParameters")) Keys(configuration["CipParameters"], KeyPlace::kCip, held);
  for (const auto& master : configuration.at("Masters").items()) {
    if (master.key() == "Order") continue;
    Keys(master.value(), KeyPlace::kMaster, held);
    Keys(master.value().value("Options", Json()), KeyPlace::kOptions, held);
    Keys(master.value().value("Info", Json()), KeyPlace::kInfo, held);
    for (const Json& job : Elements(master.value().value("Jobs", Json()))) {
      Keys(job, KeyPlace::kJob, held);
      Keys(job.value("Contents", Json()), KeyPlace::kContents, held);
      for (const Json& ink : Elements(job.value("Ink", Json()))) Keys(ink, KeyPlace::kInk, held);
    }
  }
  Keys(ticket.value("work", Json()), KeyPlace::kWork, held);
  return held;
}

// Every item the result's dictionary holds, as `explain` names it.
std::vector<std::string> WrittenItems(const Json& result) {
  std::vector<std::string> items;
  for (const auto& section : result.at("dictionary").items()) {
    if (section.key() != "jobs") {
      for (const Json& item : section.value()) items.push_back(section.key() + "." + item.at("key").get<std::string>());
      continue;
    }
    for (const auto& job : section.value().items())
      for (const Json& item : job.value()) items.push_back("jobs." + job.key() + "." + item.at("key").get<std::string>());
  }
  return items;
}

// For each example, every item that the table names (without '?') for a key
// the example's ticket holds is written by the conversion.
TEST(TicketKeys, ItemsOfTheKeysAnExampleHoldsAreWritten) {
  // A copy, so the CIP3 copies the conversion makes stay out of the examples.
  hosttest::TempDir dir;
  std::filesystem::copy(T2D_SOURCE_DIR "/examples", dir.Path(), std::filesystem::copy_options::recursive);
  size_t checked = 0;
  for (const char* name : {"typical", "multi-job", "cip3"}) {
    const std::string path = dir.File(std::string(name) + ".json");
    const auto run = hosttest::Run({"run", path, "--format", "json"});
    ASSERT_EQ(run.exitCode, 0) << name << ": " << run.err;
    const std::vector<std::string> written = WrittenItems(Json::parse(run.out));
    for (const auto& [place, key] : HeldKeys(Json::parse(hosttest::ReadFile(path)).at("ticket"))) {
      const t2dhost::TicketKey* entry = t2dhost::FindTicketKey(place, key);
      if (entry == nullptr) continue;
      for (const t2dhost::KeyItem& item : t2dhost::ItemsOf(*entry)) {
        if (item.optional || (!item.key.empty() && item.key != key)) continue;
        ++checked;
        const bool found = std::any_of(written.begin(), written.end(), [&](const std::string& each) {
          return t2dhost::ItemMatches(item.pattern, each);
        });
        EXPECT_TRUE(found) << name << ": \"" << key << "\" goes into " << item.pattern << ", which is not written";
      }
    }
  }
  EXPECT_GT(checked, 60u);
}

// Patterns: N is a job's number (one digit at least), <index> none or more
// digits; the rest is matched exactly. Every item of the table names a
// section the result has.
TEST(TicketKeys, ItemPatterns) {
  const std::tuple<const char*, const char*, bool> cases[] = {
      {"jobs.N.hpos", "jobs.2.hpos", true},          {"jobs.N.hpos", "jobs.12.hpos", true},
      {"jobs.N.hpos", "jobs..hpos", false},          {"jobs.N.hpos", "jobs.2.hposx", false},
      {"jobs.N.hpos", "setup.hpos", false},          {"jobs.N.ink<index>", "jobs.1.ink", true},
      {"jobs.N.ink<index>", "jobs.1.ink3", true},    {"jobs.N.ink<index>", "jobs.1.inksel", false},
      {"jobs.N.cip_layer.<index>", "jobs.1.cip_layer.0", true}, {"setup.rsx", "setup.rsx", true},
      {"setup.rsx", "setup.rsy", false},             {"setup.rsx", "setup.rs", false},
  };
  for (const auto& [pattern, item, matches] : cases)
    EXPECT_EQ(t2dhost::ItemMatches(pattern, item), matches) << pattern << " / " << item;

  for (const t2dhost::TicketKey& entry : t2dhost::AllTicketKeys())
    for (const t2dhost::KeyItem& item : t2dhost::ItemsOf(entry)) {
      const std::string& p = item.pattern;
      const bool section = p.rfind("setup.", 0) == 0 || p.rfind("jobs.N.", 0) == 0 || p.rfind("task.", 0) == 0 ||
                           p.rfind("environment.", 0) == 0;
      EXPECT_TRUE(section && p.find_first_of(" ?()") == std::string::npos) << entry.keys << ": \"" << p << "\"";
      const std::vector<std::string> keys = t2dhost::KeysOf(entry);
      EXPECT_TRUE(item.key.empty() || std::count(keys.begin(), keys.end(), item.key) == 1) << entry.keys << ": " << p;
    }
  // A job's margin item comes from its own margin; its position from every
  // key of the rows that name it.
  EXPECT_EQ(t2dhost::KeysFeeding("jobs.3.job_mtop"), std::vector<std::string>{"TopMargin"});
  const auto feeding = t2dhost::KeysFeeding("jobs.3.hpos");
  for (const char* key : {"HDistortion", "Rotation", "LeftMargin", "HPos", "HScale"})
    EXPECT_EQ(std::count(feeding.begin(), feeding.end(), key), 1) << key;
  EXPECT_EQ(std::count(feeding.begin(), feeding.end(), "VPos"), 0);
  EXPECT_TRUE(t2dhost::KeysFeeding("setup.nosuchitem").empty());
}

// The schema's definitions of the ticket's dictionaries and the table's
// places they hold.
const std::pair<KeyPlace, const char*> kSchemaPlaces[] = {
    {KeyPlace::kMaster, "master"}, {KeyPlace::kOptions, "masterOptions"}, {KeyPlace::kInfo, "masterInfo"},
    {KeyPlace::kJob, "job"},       {KeyPlace::kContents, "contents"},     {KeyPlace::kInk, "ink"},
    {KeyPlace::kWork, "workDictionary"}, {KeyPlace::kCip, "cipParameters"}};

// The schema's definition of a value of each class the schema can tell.
const std::map<t2dhost::KeyClass, std::string> kSchemaKinds = {
    {t2dhost::KeyClass::kInt32, "int32"},      {t2dhost::KeyClass::kDouble, "double"},
    {t2dhost::KeyClass::kNumber, "number"},    {t2dhost::KeyClass::kTruth, "truth"},
    {t2dhost::KeyClass::kString, "text"},      {t2dhost::KeyClass::kURL, "url"},
    {t2dhost::KeyClass::kUInt16, "uint16Tag"}, {t2dhost::KeyClass::kUInt32, "uint32Tag"}};

// The plain keys of an entry; none for a key inside another ("\"Masters\" /
// \"Order\"").
std::vector<std::string> PlainKeys(const t2dhost::TicketKey& entry) {
  if (std::strstr(entry.keys, " / ") != nullptr) return {};
  return t2dhost::KeysOf(entry);
}

// `schema` with the parts the table decides generated from it: in each
// dictionary's "properties", every key of a class the schema can tell refers
// to that class's definition; a key the schema lacks is added (its
// description from the table's words). Written descriptions and the layout
// (one line per such key) are kept.
std::string SchemaFromTable(std::string schema) {
  for (const auto& [place, name] : kSchemaPlaces) {
    const size_t def = schema.find("\n    \"" + std::string(name) + "\": {\n");
    const size_t open = schema.find("\n      \"properties\": {\n", def);
    if (def == std::string::npos || open == std::string::npos) throw std::runtime_error(std::string("no ") + name);
    size_t close = schema.find("\n      }", open + 1);
    for (const t2dhost::TicketKey& entry : t2dhost::AllTicketKeys()) {
      if (entry.place != place) continue;
      const auto kind = kSchemaKinds.find(entry.cls);
      for (const std::string& key : PlainKeys(entry)) {
        const std::string line = "\n        " + Json(key).dump() + ": { \"$ref\": \"#/$defs/";
        const size_t at = schema.find(line, open);
        if (at < close && kind != kSchemaKinds.end()) {
          const size_t from = at + line.size(), to = schema.find('"', from);
          schema.replace(from, to - from, kind->second);
        } else if (at > close && kind != kSchemaKinds.end() &&
                   schema.find("\n        " + Json(key).dump() + ": {", open) > close) {
          std::string words = std::string(entry.readAs) + ": " + entry.meaning;
          words.erase(std::remove(words.begin(), words.end(), '`'), words.end());
          const std::string added = ",\n        " + Json(key).dump() + ": { \"$ref\": \"#/$defs/" + kind->second +
                                    "\", \"description\": " + Json(words).dump() + " }";
          schema.insert(close, added);
        }
        close = schema.find("\n      }", open + 1);
      }
    }
  }
  return schema;
}

// docs/task-file.schema.json is what the table gives: each dictionary holds
// the table's keys and no others, each of a class the schema can tell with
// that class's definition. T2D_UPDATE_SCHEMA=1 writes the generated parts.
TEST(TicketKeys, SchemaIsGeneratedFromTheTable) {
  const std::string path = T2D_SOURCE_DIR "/docs/task-file.schema.json";
  const std::string committed = hosttest::ReadFile(path), generated = SchemaFromTable(committed);
  const Json defs = Json::parse(generated)["$defs"];
  for (const auto& [place, name] : kSchemaPlaces) {
    std::set<std::string> keys;
    const Json& properties = defs.at(name).at("properties");
    for (const t2dhost::TicketKey& entry : t2dhost::AllTicketKeys()) {
      if (entry.place != place) continue;
      for (const std::string& key : PlainKeys(entry)) {
        keys.insert(key);
        ASSERT_TRUE(properties.contains(key)) << name << " lacks " << key << ", which the schema can't generate";
        if (kSchemaKinds.count(entry.cls)) {
          EXPECT_EQ(properties.at(key).value("$ref", ""), "#/$defs/" + kSchemaKinds.at(entry.cls)) << key;
        }
      }
    }
    for (const auto& property : properties.items())
      EXPECT_EQ(keys.count(property.key()), 1u) << name << "." << property.key() << " is not in the table";
  }
  if (generated == committed) return;
  if (std::getenv("T2D_UPDATE_SCHEMA") != nullptr) return hosttest::WriteFile(path, generated);
  ADD_FAILURE() << path << " differs from the table of ticket keys; regenerate it with\n  T2D_UPDATE_SCHEMA=1 "
                << "t2d_tests --gtest_filter=TicketKeys.SchemaIsGeneratedFromTheTable";
}

// A key whose class changed and a key the schema lacks are generated into
// the schema; a schema whose layout lacks a dictionary is refused.
TEST(TicketKeys, SchemaGenerationRewritesKindsAndAddsKeys) {
  const std::string committed = hosttest::ReadFile(T2D_SOURCE_DIR "/docs/task-file.schema.json");
  std::string changed = committed;
  const std::string rotation = "\"Rotation\": { \"$ref\": \"#/$defs/int32\"";
  changed.replace(changed.find(rotation), rotation.size(), "\"Rotation\": { \"$ref\": \"#/$defs/double\"");
  const size_t lpi = changed.find("\n        \"LPI\": {");
  changed.erase(lpi, changed.find('\n', lpi + 1) - lpi);
  const Json defs = Json::parse(SchemaFromTable(changed))["$defs"];
  EXPECT_EQ(defs["job"]["properties"]["Rotation"]["$ref"], "#/$defs/int32");
  EXPECT_EQ(defs["ink"]["properties"]["LPI"]["$ref"], "#/$defs/double");
  EXPECT_NE(defs["ink"]["properties"]["LPI"].value("description", "").find("lines per inch"), std::string::npos);
  EXPECT_THROW(SchemaFromTable("{\"$defs\": {}}"), std::runtime_error);
}

}  // namespace
