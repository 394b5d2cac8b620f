// QX_TURL: a URL. Local files have the form "file://" followed by the
// absolute path, without percent-encoding ("file:///srv/ipl/plate.ini"); a
// UNC path \\host\share\dir has the form "file://host/share/dir". A URL of
// another scheme keeps its text and has no local name.
#pragma once

#include "qx_string.h"

class QX_TURL : public QX_TObject {
  QX_DECLARE_CLASS(QX_TURL)

 public:
  QX_TURL() = default;
  // A URL text ("scheme://...") is kept; any other non-empty text is a local
  // or UNC path and goes through LocalToURL. The empty text is the empty URL.
  explicit QX_TURL(const QX_TString& text);

  // The URL of a local path ("/srv/x") or UNC path ("\\host\share\x").
  // Raises QX_EException for a path that is neither (a relative path).
  static QX_TURL LocalToURL(const QX_TString& path);

  // The local path ("/srv/x") or UNC path ("\\host\share\x") of a file URL.
  // Raises QX_EException for the empty URL and for other schemes.
  QX_TString LocalName() const;

  // This URL with "/name" appended.
  QX_TURL Child(const QX_TString& name) const;
  // This URL without its last segment.
  QX_TURL Parent() const;

  // The text form; empty for the empty URL.
  const QX_TString& Text() const { return text_; }
  operator QX_TString() const { return text_; }  // NOLINT: a URL converts to its text
  bool IsEmpty() const { return text_.IsEmpty(); }

  static bool IsUrlText(const QX_TString& text);

 private:
  QX_TString text_;
};
