#include "tname.h"

#include "qxinit.h"

TName::Entry& TName::FindOrAdd(const QX_TString& name) {
  auto it = index_.find(name.Str());
  if (it != index_.end()) return entries_[it->second];
  index_.emplace(name.Str(), entries_.size());
  entries_.push_back(Entry{name, std::nullopt});
  return entries_.back();
}

bool TName::IsDefined(const QX_TString& name) const { return index_.count(name.Str()) != 0; }

bool TName::Define(const QX_TString& name, TName_Type, TName_Lookup) {
  FindOrAdd(name);
  return true;
}

void TName::SetValue(const QX_TString& name, const QX_TString& value) { FindOrAdd(name).value = QX_TAny(value); }
void TName::SetValue(const QX_TString& name, const QX_TURL& value) { FindOrAdd(name).value = QX_TAny(value); }

bool TName::Resolve(const QX_TString& text, QX_TString& result) const {
  const std::string& in = text.Str();
  std::string out;
  out.reserve(in.size());
  size_t i = 0;
  while (i < in.size()) {
    if (in[i] == '<') {
      const size_t close = in.find_first_of("<>", i + 1);
      if (close != std::string::npos && in[close] == '>' && close > i + 1) {
        const std::string name = in.substr(i + 1, close - i - 1);
        auto it = index_.find(name);
        QX_IReadObserver* observer = QX_TReadObserverBinding::Current();
        if (it == index_.end()) {
          if (observer != nullptr) observer->ValueRead(QX_EValueSource::kTemplateName, name, nullptr);
          return false;
        }
        const auto& value = entries_[it->second].value;
        if (observer != nullptr) {
          // A name defined without a value is heard as the illegal value.
          const QX_TAny heard = value ? *value : QX_TAny();
          observer->ValueRead(QX_EValueSource::kTemplateName, name, &heard);
        }
        if (value) {
          if (auto* s = dynamic_cast<const QX_TString*>(value->Object()))
            out += s->Str();
          else if (auto* u = dynamic_cast<const QX_TURL*>(value->Object()))
            out += u->Text().Str();
        }
        i = close + 1;
        continue;
      }
    }
    out += in[i];
    ++i;
  }
  result = QX_TString(std::move(out));
  return true;
}

bool TName::Resolve(const QX_TString& text, QX_TURL& result) const {
  QX_TString resolved;
  if (!Resolve(text, resolved)) return false;
  result = QX_TURL(resolved);
  return true;
}

extern "C" bool __QX_INITIALIZATION_FUNCTION_templatenames__() { return qxinit::Run("templatenames"); }
