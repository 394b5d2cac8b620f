// `explain`: why an item has its value, and where a value of the task file
// went, both read off a traced conversion. The words for the log's messages
// are the message catalogue's (docs/messages.md).
#pragma once

#include <string>

#include "conversion.h"

namespace t2dhost {

// The history of item `item` ("setup.rsx", "jobs.2.hpos",
// "environment.QX_DATA_FONTS") in a traced conversion: every write of it in
// order, with the step and job, the value and comment written, how it was
// computed (the derivation) where the step computed it, the reads that went
// into it marked "*" apart from what the step only looked at, the service
// requests and log entries of that step run, and the runs the step started
// inside itself with their own reads, requests, log entries and writes;
// then the final value. `written` is false when the item was never written;
// the text is then one line naming the written keys of that section closest
// to it.
std::string ExplainItem(const Conversion& conversion, const std::string& item, bool& written);

// Where the value at key path `keyPath` of the task file went
// ("ticket.configuration.Masters.M1.Jobs[0].Rotation", "ticket.shortId",
// "shares"; a path also stands for everything below it): every item it went
// into, with the step and the derivation, then the steps that read it
// without it going into an item. A value went into a computed item when its
// read is among the item's inputs, and into a copied item (one without a
// derivation) when the same step read it as a text that the item's value
// holds. `read` is false when no step read it; the text is then one line
// naming the closest key paths that were read.
std::string ExplainKeyPath(const Conversion& conversion, const std::string& keyPath, bool& read);

// Whether `text` names an item written in the conversion (SECTION.KEY), so
// that `explain` takes it as an item rather than as a key path.
bool NamesWrittenItem(const Conversion& conversion, const std::string& text);

}  // namespace t2dhost
