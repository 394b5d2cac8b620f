// Extra options: free-form settings of a job that overrule or add to the
// items written before. "ExtraOptions" is a list of assignments separated by
// "|"; each is "[section.]key=value", split at the first "=" and, in the key
// part, at the first ".". Nothing is trimmed. Section "setup" (any case) or
// none writes a setup item; any other section writes a job item and hands
// the value to the job dictionary's entry of that key.
#include <string>

#include "ticket2dict_msbasetask.h"

namespace {

constexpr const char* kStep = "AddExtraOptions";
constexpr const char* kComment = "Overruled in Mistral Task by \"ExtraOptions\"";
// Room of an option's key and value texts, terminator included.
constexpr size_t kKeyCapacity = 200;
constexpr size_t kValueCapacity = 1000;
// How much of an over-long key the log sentence shows.
constexpr long kKeyShownInLog = 60;

}  // namespace

void CTicket2Dict_msbasetask::AddExtraOptions(AT_TTicket&, QX_TDict& job, int jobNumber) {
  if (!job.HasKey("ExtraOptions")) return;
  // A copy: the options may hand values to the job dictionary itself, even
  // to "ExtraOptions".
  const QX_TString options = T2D_CAST(QX_TString, job["ExtraOptions"]);

  long position = 0;
  for (;;) {
    const long bar = options.Find('|', position);
    const long end = bar == QX_TString::npos ? options.Length() : bar;
    const QX_TString assignment = options.Substring(position, end - position);

    const long equals = assignment.IsEmpty() ? QX_TString::npos : assignment.Find('=');
    if (equals != QX_TString::npos) {
      const QX_TString keyPart = assignment.Substring(0, equals);
      const QX_TString value = assignment.Substring(equals + 1, assignment.Length() - equals - 1);
      if (!keyPart.IsEmpty() && !value.IsEmpty()) {
        const long point = keyPart.Find('.');
        const QX_TString section = point == QX_TString::npos ? QX_TString("setup") : keyPart.Substring(0, point);
        const QX_TString key =
            point == QX_TString::npos ? keyPart : keyPart.Substring(point + 1, keyPart.Length() - point - 1);

        // Keys and values are refused, not cut, when they exceed their room:
        // a shortened key or value would overrule another item or setting.
        if (static_cast<size_t>(key.Length()) > kKeyCapacity - 1) {
          const bool shortened = key.Length() > kKeyShownInLog;
          const std::string problem =
              Format("the extra option key \"%s%s\" is %ld characters long; at most %zu are allowed",
                     key.Substring(0, kKeyShownInLog).Text(), shortened ? "..." : "", key.Length(),
                     kKeyCapacity - 1);
          const std::string sentence = Format("CTicket2Dict_msbasetask::%s - %s", kStep, problem.c_str());
          Fail(kStep, sentence.c_str(), problem);
        }
        const std::string valueText = FormatBounded(kStep, key.Text(), kValueCapacity, "%s", value.Text());

        if (section.CompareWith("setup", true) == 0) {
          AddItemSetup(key.Text(), valueText.c_str(), kComment);
        } else {
          AddItemJob(jobNumber, key.Text(), valueText.c_str(), kComment);
          job.Value(key) = QX_TString(valueText);
        }
      }
    }

    if (bar == QX_TString::npos) break;
    position = bar + 1;
  }
}
