// The job inks and the ink selection: which inks get an entry, in which
// order and under which index, which ink names are refused, and the ink
// selection "inksel" that lists the entries with the host's ink groups
// joined by "+".
#include "job_inks.h"

#include <cstring>
#include <stdexcept>
#include <string>

#include "ticket2dict_msbasetask.h"

namespace t2d_job {
namespace {

// Room of the ink selection, terminator included.
constexpr size_t kSelectionCapacity = 2048;
// The longest ink name that the "Designer" book takes, in characters.
constexpr size_t kDesignerNameLength = 15;

// True when the UTF-8 `text` holds more than `limit` characters (Unicode
// code points; a faulty sequence counts as one). A text of no more than
// `limit` bytes can't, and is not decoded.
bool MoreCharactersThan(const QX_TString& text, size_t limit) {
  static_assert(sizeof(wchar_t) >= 4, "one wide character per code point");
  return static_cast<size_t>(text.Length()) > limit && text.WideText().size() > limit;
}

class InkVisitor {
 public:
  InkVisitor(const InkHooks& hooks, bool isPdfJob, bool withSelection)
      : hooks_(hooks), isPdfJob_(isPdfJob), withSelection_(withSelection) {}

  // Visits one ink dictionary; `position` is its place inside its ink group
  // (0 outside groups).
  void Visit(QX_TDict& ink, int position, bool inGroup) {
    if (ink.HasKey("Selected") && T2D_CAST(QX_TInt32, ink["Selected"]).Value() == 0) return;

    // Cleared first, so that an ink that gets no entry can't repeat the
    // previous ink's texts.
    char key[CTicket2Dict_msbasetask::kInkKeyCapacity] = {};
    char value[CTicket2Dict_msbasetask::kInkValueCapacity] = {};
    hooks_.buildEntry(ink, inkCount_, key, value, isPdfJob_);

    if (!isPdfJob_) CheckDesignerName(ink);

    // No key: the ink has no entry, no place in the selection, and the next
    // selected ink takes its index.
    if (key[0] == '\0') return;
    if (value[0] != '\0') hooks_.writeItem(key, value);
    if (withSelection_) Select(key, position, inGroup);
    ++inkCount_;
  }

  int InkCount() const { return inkCount_; }
  const std::string& Selection() const { return selection_; }

 private:
  // Ink names in the "Designer" book are limited for jobs that are not PDF.
  void CheckDesignerName(const QX_TDict& ink) {
    const QX_TString& name = T2D_CAST(QX_TString, ink["Color"]);
    const QX_TString& book = ink.HasKey("InkBook") ? T2D_CAST(QX_TString, ink["InkBook"])
                                                   : T2D_CAST(QX_TString, ink["Type"]);
    if (book == "Designer" && MoreCharactersThan(name, kDesignerNameLength)) {
      hooks_.fail("Error: This job contains an ink name longer than 15 characters (max)",
                  "job with ink name longer than 15 characters  ");
      throw std::logic_error("the ink step's failure hook returned");
    }
  }

  // Members of an ink group are joined with "+", other inks with ",". A key
  // that would not fit is left out: once per step with a warning for a
  // group member, silently otherwise.
  void Select(const char* key, int position, bool inGroup) {
    if (inkCount_ == 0) {
      selection_ = key;
      return;
    }
    const size_t keyLength = std::strlen(key);
    if (selection_.size() + keyLength + 1 < kSelectionCapacity) {
      selection_ += position > 0 ? "+" : ",";
      selection_ += key;
    } else if (inGroup && !warned_) {
      const std::string warning =
          "Ink selection is more than " + std::to_string(kSelectionCapacity) + " characters";
      hooks_.log(1, warning.c_str());
      warned_ = true;
    }
  }

  const InkHooks& hooks_;
  const bool isPdfJob_;
  const bool withSelection_;
  int inkCount_ = 0;
  std::string selection_;
  bool warned_ = false;
};

bool IsInkGroup(const QX_TAny& element) { return std::strcmp(element.ClassName(), QX_TArray::kClassName) == 0; }

}  // namespace

void AddJobInks(const InkHooks& hooks, const QX_TDict& job, int jobFlag, const QX_TArray& jobArray, bool isPdfJob) {
  if (jobFlag != 0) {
    const QX_TArray inks(jobArray);
    if (inks.Size() == 0) return;
    InkVisitor visitor(hooks, isPdfJob, true);
    for (int i = inks.LowerBound(), upper = inks.UpperBound(); i <= upper; ++i) {
      const QX_TAny& element = inks[i];
      if (IsInkGroup(element)) {
        const QX_TArray& group = T2D_CAST(QX_TArray, element);
        for (int position = 0; position < group.Size(); ++position) {
          QX_TDict ink = T2D_CAST(QX_TDict, group[position]);
          visitor.Visit(ink, position, true);
        }
      } else {
        QX_TDict ink = T2D_CAST(QX_TDict, element);
        visitor.Visit(ink, 0, false);
      }
      if (i == upper) break;  // the upper bound may be the largest integer
    }
    if (visitor.InkCount() != 0 && !visitor.Selection().empty())
      hooks.writeItem("inksel", visitor.Selection().c_str());
    return;
  }

  if (!job.HasKey("Ink")) return;
  const QX_TArray& inks = T2D_CAST(QX_TArray, job["Ink"]);
  if (inks.Size() == 0) return;
  InkVisitor visitor(hooks, isPdfJob, false);
  for (int i = inks.LowerBound(), upper = inks.UpperBound(); i <= upper; ++i) {
    QX_TDict ink = T2D_CAST(QX_TDict, inks[i]);
    visitor.Visit(ink, 0, false);
    if (i == upper) break;
  }
}

}  // namespace t2d_job
