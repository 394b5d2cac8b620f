// The message catalogue against the sources that log, the texts they log and
// docs/messages.md.
#include "message_catalogue.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <regex>
#include <set>
#include <sstream>
#include <string>

#include "host_program.h"

namespace {

namespace fs = std::filesystem;
using t2dhost::AllMessages;
using t2dhost::FindMessage;
using t2dhost::MessageInfo;

// The text without its comments; string and character literals are kept.
std::string WithoutComments(const std::string& source) {
  std::string out;
  for (size_t i = 0; i < source.size(); ++i) {
    const char c = source[i];
    if (c == '"' || c == '\'') {
      const size_t start = i;
      for (++i; i < source.size() && source[i] != c; ++i)
        if (source[i] == '\\') ++i;
      out.append(source, start, i - start + 1);
    } else if (source.compare(i, 2, "//") == 0) {
      i = source.find('\n', i) - 1;
    } else if (source.compare(i, 2, "/*") == 0) {
      const size_t end = source.find("*/", i + 2);
      if (end == std::string::npos) break;
      out.append(std::count(source.begin() + i, source.begin() + end, '\n'), '\n');
      i = end + 1;
    } else {
      out += c;
    }
  }
  return out;
}

// Every message key the converter's sources log, with the levels it is
// logged at and where. The level of a use is the one of the LogMessage on
// its line; Fail, Guarded and CheckFailure log at 2; a key kept in a table
// takes the level of the file's LogMessage calls that log a table field.
std::map<std::string, std::map<int, std::string>> KeysInSources() {
  const std::regex key("\"(qxmsm\\.[A-Za-z0-9_]+)\"");
  const std::regex logged("LogMessage\\(\\s*(\\d)\\s*,\\s*\"(qxmsm\\.[A-Za-z0-9_]+)\"");
  const std::regex failure("\\b(Fail|Guarded)\\(|\\bCheckFailure\\{");
  const std::regex fieldLogged("LogMessage\\(\\s*(\\d)\\s*,\\s*\\w+\\.\\w+");
  std::map<std::string, std::map<int, std::string>> uses;
  for (const char* folder : {"converter", "steps"}) {
    for (const auto& entry : fs::recursive_directory_iterator(fs::path(T2D_SOURCE_DIR) / folder)) {
      const std::string extension = entry.path().extension().string();
      if (extension != ".cpp" && extension != ".h") continue;
      const std::string name = entry.path().string();
      const std::string source = WithoutComments(hosttest::ReadFile(name));
      std::set<int> tableLevels;
      for (std::sregex_iterator it(source.begin(), source.end(), fieldLogged), end; it != end; ++it)
        tableLevels.insert(std::stoi((*it)[1]));
      std::istringstream lines(source);
      std::string line;
      for (int number = 1; std::getline(lines, line); ++number) {
        for (std::sregex_iterator it(line.begin(), line.end(), key), end; it != end; ++it) {
          int level = tableLevels.size() == 1 ? *tableLevels.begin() : -1;
          std::smatch call;
          if (std::regex_search(line, call, logged) && call[2] == (*it)[1])
            level = std::stoi(call[1]);
          else if (std::regex_search(line, failure))
            level = 2;
          uses[(*it)[1]][level] = name.substr(std::string(T2D_SOURCE_DIR).size() + 1) + ":" +
                                  std::to_string(number);
        }
      }
    }
  }
  return uses;
}

TEST(MessageCatalogue, HoldsEveryKeyTheSourcesLogAtItsLevel) {
  const auto uses = KeysInSources();
  ASSERT_GE(uses.size(), 20u) << "the scan found too few keys to be looking in the right place";
  for (const auto& [key, levels] : uses) {
    const MessageInfo* info = FindMessage(key);
    if (info == nullptr) {
      ADD_FAILURE() << key << " (" << levels.begin()->second << ") is not in the catalogue";
      continue;
    }
    for (const auto& [level, where] : levels)
      EXPECT_EQ(level, info->level) << key << " at " << where << (level < 0 ? ": its level can't be told" : "");
  }
  for (const MessageInfo& info : AllMessages()) {
    if (std::string(info.key).rfind("qxmsm.", 0) == 0 && uses.count(info.key) == 0)
      ADD_FAILURE() << info.key << " is catalogued but no source logs it";
  }
}

TEST(MessageCatalogue, FindsTheFamilyOfALoggedText) {
  const std::pair<const char*, const char*> cases[] = {
      {"qxmsm.failaddjob", "qxmsm.failaddjob"},
      {"CTicket2Dict_msbasetask::AddPositionInfo - job has no masters ", "qxmsm.nomasters"},
      {"CTicket2Dict_msbasetask::AddSetup end - invalid plate sizes", "qxmsm.invalidplatesizes"},
      {"CTicket2Dict_msbasetask::AddCIPOptions2Dict - failed to add CIP options", "qxmsm.failaddcip"},
      {"DispatcherVersion not specified", "sentence.no-dispatcher-version"},
      {"Ink <Silver> is not found in the Book <Designer> specified in XMP. Forcing unregistered",
       "sentence.ink-not-in-book"},
      {"AddSetupGlobal - the resolution 1e+15 is too large for the automatic \"CTResampling\"; no \"ctres\" is "
       "written",
       "sentence.ct-resolution-too-large"},
      {"CTicket2Dict_msbasetask::AddEnvironment2Dict - the customer name is 120 bytes long; at most 99 are allowed; "
       "\"CUS_NAME\" is not written",
       "sentence.environment-too-long"},
      {"CTicket2Dict_msbasetask::SetupDict - the page list is 1200 characters long; at most 1023 are allowed",
       "sentence.refused-page-list"},
      {"CTicket2Dict_msbasetask::Ink2IniEntry - the value of \"Color\" is 300 characters long; at most 255 are "
       "allowed",
       "sentence.refused-length"},
      // An extra option's key may hold any text, a step's problem included.
      {"CTicket2Dict_msbasetask::AddExtraOptions - the value of \"no masters\" is 1200 characters long; at most 999 "
       "are allowed",
       "sentence.refused-length"},
      {"CTicket2Dict_msbasetask::AddExtraOptions - the extra option key \"kkk...\" is 250 characters long; at most "
       "199 are allowed",
       "sentence.refused-extra-option-key"},
      {"CTicket2Dict_msbasetask::AddSetup middle - the value of \"AntiAliasing\" (1.5) is not a whole number from "
       "-2147483648 to 2147483647",
       "sentence.refused-antialiasing"},
      {"Error: This job contains an ink name longer than 15 characters (max)", "sentence.designer-ink-name"},
      {"CTicket2Dict_msbasetask::AddJobInfoGlobal - job with ink name longer than 15 characters  ",
       "sentence.designer-ink-name"},
      {"CTicket2Dict_msbasetask::DoCIPParams - \"ShortID\" names the CIP3 files and must not hold \"/\" or \"\\\": "
       "\"a/b\"",
       "sentence.cip3-short-id"},
      {"CTicket2Dict_msbasetask::AddPositionInfo - the \"SelectArea\" of job 1 leaves the 32-bit range",
       "sentence.placement-out-of-range"},
      {"QX_EIllegalCast: expected QX_TDict, got QX_TIllegal (.\\ticket2dict_msbasetask.cpp, line 130)",
       "sentence.missing-value"},
      {"QX_EIllegalCast: \"Copies\" at ticket.configuration.Masters.M1.Options.Copies: expected QX_TUInt16, got "
       "QX_TInt32 (steps/setup/setup_global.cpp, line 102)",
       "sentence.illegal-cast"},
      {"QX_TArray: index 5 outside the bounds [0, 0]", "sentence.array-bounds"},
      {"QX_TURL::LocalName: not a file URL: \"http://x\"", "sentence.value-error"},
      {"QXM_TClient::Connect: connection refused: no service \"FileServer\" on server \"\"",
       "sentence.connection-refused"},
      {"remote error: FileServer \"Query\": no file \"file:///x.pdf\"", "sentence.remote-error"},
      {"CTicket2Dict_msbasetask::DoCIPParams - general", "sentence.step-failure"},
  };
  for (const auto& [text, key] : cases) {
    const MessageInfo* info = FindMessage(text);
    ASSERT_NE(info, nullptr) << text;
    EXPECT_STREQ(info->key, key) << text;
  }
  for (const char* unknown : {"", "qxmsm.unknown", "qxmsm.failaddjob.", "CTicket2Dict::AddJob - no such form",
                              "Ink selection is more than 4096 characters"})
    EXPECT_EQ(FindMessage(unknown), nullptr) << unknown;
}

// Every shape of an entry, with its varying parts filled in, finds that
// entry: no family before it in the catalogue takes its texts.
TEST(MessageCatalogue, EachShapeFindsItsOwnEntry) {
  for (const MessageInfo& info : AllMessages()) {
    EXPECT_EQ(FindMessage(info.key), &info);
    std::istringstream shapes(info.sentences ? info.sentences : "");
    for (std::string shape; std::getline(shapes, shape);) {
      hosttest::ReplaceAll(shape, "*", "x");
      EXPECT_EQ(FindMessage(shape), &info) << info.key << ": " << shape;
    }
  }
}

// ---- docs/messages.md ------------------------------------------------------

const char* const kBegin = "<!-- The catalogue, generated from AllMessages(): do not edit by hand. -->\n";
const char* const kEnd = "<!-- End of the generated catalogue. -->\n";

// Plain text for Markdown: the characters that would start markup are
// escaped.
std::string Escaped(const std::string& text) {
  std::string out;
  for (const char c : text) {
    if (c == '\\' || c == '<' || c == '*' || c == '[' || c == ']') out += '\\';
    out += c;
  }
  return out;
}

std::string Markdown() {
  std::string out = kBegin;
  const char* heading = nullptr;
  for (const MessageInfo& info : AllMessages()) {
    const bool isKey = std::string(info.key).rfind("qxmsm.", 0) == 0;
    const char* group = isKey ? "## Message keys\n\n" : "## Sentences\n\n";
    if (group != heading) out += (heading = group);
    out += "### " + std::string(info.key) + "\n\n";
    out += "- **Level:** " + std::to_string(info.level) + ", " + t2dhost::MessageLevelName(info.level) + "\n";
    if (info.sentences != nullptr) {
      std::string shapes = info.sentences;
      hosttest::ReplaceAll(shapes, "\n", "`, `");
      out += std::string(isKey ? "- **Sentence:** `" : "- **Text:** `") + shapes + "`\n";
    }
    out += "- **Logged:** " + Escaped(info.logged) + "\n";
    out += "- **Meaning:** " + Escaped(info.meaning) + "\n";
    out += "- **Check:** " + Escaped(info.check) + "\n\n";
  }
  return out + kEnd;
}

TEST(MessageCatalogue, DocumentIsGeneratedFromTheData) {
  const std::string path = T2D_SOURCE_DIR "/docs/messages.md";
  std::string document = hosttest::ReadFile(path);
  const size_t begin = document.find(kBegin);
  const size_t end = document.find(kEnd);
  ASSERT_NE(begin, std::string::npos) << path << " lacks the line " << kBegin;
  ASSERT_NE(end, std::string::npos) << path << " lacks the line " << kEnd;
  const std::string generated = Markdown();
  if (document.compare(begin, end + std::string(kEnd).size() - begin, generated) == 0) return;
  if (std::getenv("T2D_UPDATE_MESSAGES_DOC") != nullptr) {
    document.replace(begin, end + std::string(kEnd).size() - begin, generated);
    hosttest::WriteFile(path, document);
    return;
  }
  ADD_FAILURE() << path << " differs from the catalogue; regenerate it with\n  T2D_UPDATE_MESSAGES_DOC=1 "
                << "t2d_tests --gtest_filter=MessageCatalogue.DocumentIsGeneratedFromTheData";
}

}  // namespace
