// Ink entries: the key and value text of one selected ink. The ink is
// checked against its book on the colour management server, and for a
// dispatcher older than 7.4 the book is mapped onto the books such a
// dispatcher knows (process, pantone, designer).
#include <cstring>
#include <string>

#include "cms_tproxy.h"
#include "ticket2dict_msbasetask.h"
#include "../ticket_rules.h"

namespace {

constexpr const char* kStep = "Ink2IniEntry";
// Room of the ink name, the book and the dot shape, terminator included.
constexpr size_t kInkTextCapacity = 256;
// The first dispatcher that knows every ink book and reads the
// vertical-bar form of an entry.
constexpr int kInkBookDispatcher = 704000;

}  // namespace

void CTicket2Dict_msbasetask::Ink2IniEntry(QX_TDict& ink, int index, char* key, char* value, bool isPdfJob) {
  // An ink without a name or a type gets no entry.
  if (!ink.HasKey("Color") || !ink.HasKey("Type")) return;

  // How the entry came about, in words, for whoever hears the writes.
  const bool deriving = Deriving();
  std::string how;

  std::string book;
  const bool hasBook = ink.HasKey("InkBook");
  if (hasBook) {
    book = FormatBounded(kStep, "InkBook", kInkTextCapacity, "%s", T2D_CAST(QX_TString, ink["InkBook"]).Text());
    if (deriving) how = "the book is \"InkBook\" " + QX_TOrigin::Quoted(book);
  } else {
    book = FormatBounded(kStep, "Type", kInkTextCapacity, "%s", T2D_CAST(QX_TString, ink["Type"]).Text());
    if (deriving) how = "no \"InkBook\": the book is \"Type\" " + QX_TOrigin::Quoted(book);
    if (book == "Pantone") {
      book = "pms1000c";
      if (deriving) how += ", which is \"pms1000c\"";
    }
  }
  const std::string name =
      FormatBounded(kStep, "Color", kInkTextCapacity, "%s", T2D_CAST(QX_TString, ink["Color"]).Text());

  CMSServerProxy cms("");
  if (!cms.TIDB_InkExists(QX_TString(book), QX_TString(name))) {
    Task().LogMessage(1, Format("Ink <%s> is not found in the Book <%s> specified in XMP. Forcing unregistered",
                                name.c_str(), book.c_str())
                             .c_str());
    if (deriving) how += "; the colour server does not know the ink in that book: unregistered, no book";
    book.clear();
  }

  HeardOption("DispatcherVersion", dispatcherVersion);
  if (dispatcherVersion == -1) Task().LogMessage(1, "DispatcherVersion not specified");
  if (dispatcherVersion < kInkBookDispatcher) {
    Task().LogMessage(1,
                      "Dispatcher is not in sync with server: ink books will hav to be remapped to Process, PANTONE "
                      "Colors Coated or Designer for the dispatcher");
    if (book != "process" && book != "Process" && book != "pms1000c") book = "designer";
    if (book == "pms1000c") book = "pantone";
    if (deriving)
      how += Format("; DispatcherVersion %d is below %d: the book is remapped to %s", dispatcherVersion,
                    kInkBookDispatcher, QX_TOrigin::Quoted(book).c_str());
  } else if (book.empty() && !isPdfJob) {
    book = "designer";
    if (deriving) how += "; no book for a job that is not PDF: \"designer\"";
  }

  // The entry's key is needed first: a value that doesn't fit is refused
  // under the key it would have been written with.
  static_assert(kInkKeyCapacity >= sizeof "ink-2147483648", "the key text holds \"ink\" and any index");
  const std::string entryKey = index == 0 ? std::string("ink") : Format("ink%d", index);

  std::string entryValue;
  if (ink.HasKey("LPI") && ink.HasKey("Angle") && ink.HasKey("Dotshape")) {
    std::string dotShape =
        FormatBounded(kStep, "Dotshape", kInkTextCapacity, "%s", T2D_CAST(QX_TString, ink["Dotshape"]).Text());
    if (QX_TString(dotShape).CompareWith("Unknown", true) == 0) dotShape.clear();
    const double angle = T2D_CAST(QX_TDouble, ink["Angle"]).Value();
    const double lpi = T2D_CAST(QX_TDouble, ink["LPI"]).Value();
    const bool barForm = isPdfJob && dispatcherVersion >= kInkBookDispatcher;
    const char* form = barForm ? t2d_ticket::kScreenedInkEntryBarForm : t2d_ticket::kScreenedInkEntryForm;
    entryValue = FormatBounded(kStep, entryKey.c_str(), kInkValueCapacity, form, name.c_str(), book.c_str(), lpi,
                               angle, dotShape.c_str());
    if (deriving)
      how += barForm ? "; screened, vertical-bar form (a PDF job and DispatcherVersion 704000 or later): "
                              "(Color|book|LPI|Angle|Dotshape)"
                            : "; screened, comma form: (Color,book,LPI,Angle,Dotshape)";
  } else {
    if (deriving) how += "; no \"LPI\", \"Angle\" and \"Dotshape\" together: (Color,book)";
    entryValue = FormatBounded(kStep, entryKey.c_str(), kInkValueCapacity, t2d_ticket::kInkEntryForm, name.c_str(),
                               book.c_str());
  }

  if (deriving) {
    inkEntryDerivation = Format("entry %d of the selected inks: ", index) + how;
    inkEntryInputs = {"Color", hasBook ? "InkBook" : "Type", "LPI", "Angle", "Dotshape",
                      "DispatcherVersion"};
  }
  std::memcpy(key, entryKey.c_str(), entryKey.size() + 1);
  std::memcpy(value, entryValue.c_str(), entryValue.size() + 1);
}
