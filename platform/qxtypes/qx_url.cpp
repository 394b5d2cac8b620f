#include "qx_url.h"

namespace {
constexpr const char* kFileScheme = "file://";
constexpr long kFileSchemeLength = 7;
}  // namespace

bool QX_TURL::IsUrlText(const QX_TString& text) {
  const long sep = text.Find("://");
  if (sep <= 0) return false;
  for (long i = 0; i < sep; ++i) {
    const char c = text.Text()[i];
    const bool ok = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (i > 0 && ((c >= '0' && c <= '9') ||
                                                                                  c == '+' || c == '-' || c == '.'));
    if (!ok) return false;
  }
  return true;
}

QX_TURL::QX_TURL(const QX_TString& text) {
  if (text.IsEmpty() || IsUrlText(text))
    text_ = text;
  else
    text_ = LocalToURL(text).text_;
}

bool QX_TURL::Equals(const QX_TObject& other) const {
  auto* u = dynamic_cast<const QX_TURL*>(&other);
  return u != nullptr && u->text_ == text_;
}

QX_TURL QX_TURL::LocalToURL(const QX_TString& path) {
  QX_TURL url;
  const std::string& p = path.Str();
  if (p.size() >= 2 && (p[0] == '\\' || p[0] == '/') && (p[1] == '\\' || p[1] == '/') &&
      !(p[0] == '/' && p[1] == '/')) {
    // UNC path \\host\share\dir.
    QX_TString rest(p.substr(2));
    rest.Replace('\\', '/');
    url.text_ = QX_TString(kFileScheme + rest.Str());
  } else if (!p.empty() && p[0] == '/') {
    url.text_ = QX_TString(kFileScheme + p);
  } else {
    throw QX_EException("QX_TURL::LocalToURL: not an absolute local or UNC path: \"" + p + "\"");
  }
  return url;
}

QX_TString QX_TURL::LocalName() const {
  const std::string& t = text_.Str();
  if (t.compare(0, kFileSchemeLength, kFileScheme) != 0)
    throw QX_EException("QX_TURL::LocalName: not a file URL: \"" + t + "\"");
  std::string rest = t.substr(kFileSchemeLength);
  if (!rest.empty() && rest[0] == '/') return QX_TString(rest);
  if (rest.empty()) throw QX_EException("QX_TURL::LocalName: file URL without a path: \"" + t + "\"");
  QX_TString unc("\\\\" + rest);
  return unc.Replace('/', '\\');
}

QX_TURL QX_TURL::Child(const QX_TString& name) const {
  QX_TURL url;
  const std::string& t = text_.Str();
  if (!t.empty() && t.back() == '/')
    url.text_ = QX_TString(t + name.Str());
  else
    url.text_ = QX_TString(t + "/" + name.Str());
  return url;
}

QX_TURL QX_TURL::Parent() const {
  const std::string& t = text_.Str();
  const auto scheme = t.find("://");
  const size_t pathStart = scheme == std::string::npos ? 0 : scheme + 3;
  const auto last = t.rfind('/');
  QX_TURL url;
  if (last == std::string::npos || last < pathStart) {
    url.text_ = text_;  // nothing to drop
  } else if (last == pathStart) {
    url.text_ = QX_TString(t.substr(0, last + 1));  // the root "file:///"
  } else {
    url.text_ = QX_TString(t.substr(0, last));
  }
  return url;
}
