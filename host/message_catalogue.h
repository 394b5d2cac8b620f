// The message catalogue: every text the converter writes to the task log
// (its message keys and its sentences), with what it means for the job and
// what to check. One table serves the host's tools and docs/messages.md.
#pragma once

#include <string>
#include <vector>

namespace t2dhost {

struct MessageInfo {
  const char* key;      // "qxmsm.nomasters", or for a sentence a stable id such as "sentence.refused-length"
  int level;            // 2 failure, 1 warning, 0 notice
  const char* logged;   // which step(s) log it, and when
  const char* meaning;  // what it means for the job/plate, in plain words (one sentence)
  const char* check;    // what to check in the ticket or on the server (one or two sentences)
  // The log texts the entry stands for besides its key, one a line; '*'
  // stands for any run of characters (the parts that vary). For a message
  // key, the sentence its failure carries; null when there is none.
  const char* sentences;
};

// Every entry, message keys first (guards, the steps' own failures,
// notices), then the sentences: warnings, notices, failures, and last the
// general families that the more particular entries before them narrow.
const std::vector<MessageInfo>& AllMessages();

// The entry a log entry's text belongs to: the entry whose key is the text,
// else the first whose sentences match it (blanks at the end of either are
// ignored). Null for a text the catalogue doesn't know.
const MessageInfo* FindMessage(const std::string& text);

// "failure", "warning" or "notice" for levels 2, 1 and 0; "level N"
// otherwise.
std::string MessageLevelName(int level);

}  // namespace t2dhost
